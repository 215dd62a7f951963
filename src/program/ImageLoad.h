#pragma once
// Reading and checking the two files of a Program request before anything is sent: the
// bootloader and the flash image. A file is either accepted whole, with its words and what
// is known of it, or refused with the Failure to report; nothing here reports or logs.
//
// Shared by every front end that reads an image: the Program request, tarnel-cli --check,
// and any caller that reads an image once and programs it many times. Readers of other
// image formats go behind LoadFlashImage and fill the same ImageReadResult.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "program/Mailbox.h"
#include "report/MessageKeys.h"
#include "scan/ImageReader.h"

namespace tarnel {

struct ImageLoadOptions {
    // Pass over malformed records, as earlier versions did, instead of refusing the file:
    // for stored files that relied on that reading. Read errors and the other refusals
    // stand all the same.
    bool lenient = false;
};

// The options that the environment asks for: lenient when TARNEL_LENIENT_IMAGES is "1".
ImageLoadOptions ImageLoadOptionsFromEnvironment();

struct LoadedImage {
    // Set when the file is refused; the rest is then only what could be read and must not
    // be programmed.
    std::optional<Failure> failure;
    std::string path;  // the file read (for the bootloader, the place where it was found)
    // Flash image: kFlashWords words, 0xFFFF where the file names none. Bootloader: its
    // words 0 to the highest address the file names, 0 where it names none.
    std::vector<std::uint16_t> words;
    ImageReadResult read;     // addresses, words in and beyond the capacity, malformed records
    int pages = 0;            // flash image: pages holding a word other than 0xFFFF
    std::uint32_t crc32 = 0;  // flash image: ImageCrc32 of words
};

// Reads the flash image at `path` (UTF-8). Refused with "ErrFlashFile" and a detail that
// names the path: no path given; cannot be opened or is not a regular file (a FIFO, a
// device or a directory is refused without waiting); a read fails ("PATH: <reason>");
// malformed records unless lenient ("PATH:LINE: <what> (N malformed records in the
// file)", the first of them); no complete record; no word inside the flash (the detail
// says how many lie beyond it).
LoadedImage LoadFlashImage(const std::string& path, const ImageLoadOptions& options);

// Reads the bootloader from the first of `places` that exists (a place that cannot be
// examined counts as existing, so that its read tells why). Refused with "ErrBootFile" for
// the reasons of LoadFlashImage, when no place holds a file (the detail lists them), and
// when it names a word at or beyond kBootloaderWords.
LoadedImage LoadBootloader(const std::vector<std::string>& places, const ImageLoadOptions& options);

// CRC-32 (the polynomial of zlib and Ethernet, reflected, initial and final value
// 0xFFFFFFFF) of `words`, each word as two bytes, the more significant first, as the
// image file writes it.
std::uint32_t ImageCrc32(std::span<const std::uint16_t> words);

// What a request that passed over `count` malformed records adds to its outcome: "3
// malformed records were skipped." ("1 malformed record was skipped."); empty for 0.
std::string SkippedRecordsText(std::uint64_t count);

}  // namespace tarnel
