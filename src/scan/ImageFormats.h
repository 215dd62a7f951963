#pragma once
// The image formats the tool reads, as one table: each row has the name that --format
// takes, a title for people, the files' name and patterns for a file dialog, whether the format
// is found from a file's content, and its reader.
//
// Found from the content: ELF by its magic bytes; Intel HEX when the first line that is not
// blank is a ':' record, S-records when it is an 'S' record; anything else is read as "@"
// records (whose reader takes any other line as a comment). Raw binary holds no mark and is
// read only when asked, at a base address given with it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "scan/ByteImage.h"
#include "scan/ByteStream.h"

namespace tarnel {

enum class ImageFormat { Rom, IntelHex, SRecord, Elf, Binary };

struct ImageReadOptions {
    ByteOrder byteOrder = ByteOrder::Little;  // for the byte-addressed formats
    std::uint64_t base = 0;                   // raw binary: the byte address of its first byte
};

struct ImageFormatInfo {
    ImageFormat format;
    std::string_view name;      // "rom", "ihex", "srec", "elf", "bin"
    std::string_view title;     // "Intel HEX"
    std::string_view files;     // "Intel HEX files", as a file dialog names them
    std::string_view patterns;  // "*.hex *.ihx", blank-separated
    StreamMode mode;            // how its reader wants the file opened
    bool detected;              // found from the content; otherwise read only when asked
    // Reads the open stream from its start into image (capacity words): words the file does
    // not name keep the caller's fill, nothing is written at or past the capacity. The "@"
    // reader lists malformed records in the result and never faults; the others refuse
    // the first thing they cannot read as written with a fault.
    ImageFormatResult (*read)(ByteStream& stream, const ImageReadOptions& options,
                              std::uint16_t* image, std::uint32_t capacity);
};

// Every format, "@" records first.
std::span<const ImageFormatInfo> ImageFormats();
const ImageFormatInfo& FormatInfo(ImageFormat format);
// The row whose name is `name`; nothing for a name no row has.
const ImageFormatInfo* FindImageFormat(std::string_view name);
// "rom, ihex, srec, elf, bin": the names --format takes.
std::string ImageFormatNames();

// How many bytes from a file's start DetectImageFormat needs at most.
inline constexpr std::size_t kDetectionBytes = 1024;

// The format of a file that begins with `head` (its first kDetectionBytes bytes, or all of
// a shorter file): never Binary; Rom when nothing else fits.
ImageFormat DetectImageFormat(std::span<const std::uint8_t> head);

// Reads the regular file at `path` (UTF-8): its format found from its content unless
// `format` is given, then that format's reader, into image (capacity words).
struct ImageFileRead {
    std::string openFailure;  // why it could not be opened or is not a regular file; or empty
    int readError = 0;        // the system's error number of a failed read; 0 when none failed
    ImageFormat format = ImageFormat::Rom;  // the format read
    ImageFormatResult result;               // not meaningful after an open failure or a read error
};
ImageFileRead ReadImageFile(const std::string& path, std::optional<ImageFormat> format,
                            const ImageReadOptions& options, std::uint16_t* image,
                            std::uint32_t capacity);

}  // namespace tarnel
