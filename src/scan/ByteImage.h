#pragma once
// Byte-addressed image data laid into 16-bit words, the one rule for every format whose
// addresses count bytes (Intel HEX, S-records, ELF, raw binary).
//
// A byte address B is word address B / 2. With ByteOrder::Little the byte at the even
// address is the low half of the word and the byte at the odd address the high half, as the
// byte-addressed outputs of 16-bit toolchains lay words out; ByteOrder::Big swaps the halves.
// Every word that the data touches must get both of its bytes: data that starts at an odd
// address or ends before one is refused, with the place in the file that gave it. So is
// data beyond the target's 24-bit word addresses.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "scan/ImageReader.h"

namespace tarnel {

enum class ByteOrder { Little, Big };

// Where in a file something stands: a line (from 1) of a text format, or a byte offset.
struct FilePlace {
    enum class Kind { Line, Offset };
    Kind kind = Kind::Line;
    std::uint64_t value = 0;
};

// "line 12" or "offset 0x1F4".
std::string DescribePlace(const FilePlace& place);

// Why a file cannot be read as written, and where.
struct ImageFault {
    FilePlace place;
    std::string reason;
};

// What a reader of any format gives: the words it found (ImageReadResult), or the fault
// that refused the file.
struct ImageFormatResult {
    ImageReadResult read;
    std::optional<ImageFault> fault;
};

// Word addresses have 24 bits on the target, whatever the file's format.
inline constexpr std::uint64_t kWordAddressSpace = std::uint64_t{1} << 24;

// Lays bytes into a caller's word image as they are read, later bytes over earlier ones.
// Words below the capacity that no byte names keep the caller's fill; the image is never
// written at or past the capacity. After a refusal the stored words are not meaningful.
class ByteImageWriter {
public:
    ByteImageWriter(std::uint16_t* image, std::uint32_t capacity, ByteOrder order);

    // The bytes from byte address `address` on, read at `place` (for an offset: the offset
    // of the first of them). The caller keeps address + size below 2^64.
    void Put(std::uint64_t address, std::span<const std::uint8_t> bytes, FilePlace place);

    // After the last Put: the lowest and highest word, the words stored and those beyond the
    // capacity (each counted once); or a fault at the lowest address where a word lacks one
    // of its bytes or lies beyond kWordAddressSpace. Never lists malformed records: a
    // reader refuses those with a fault.
    ImageFormatResult Finish();

private:
    // Contiguous bytes as they were put; a Put that continues the last one extends it.
    struct Run {
        std::uint64_t start;
        std::uint64_t end;
        FilePlace firstPlace;    // where the byte at `start` was read
        std::uint64_t lastFrom;  // address of the last Put's first byte
        FilePlace lastPlace;     // where that Put was read
    };
    static FilePlace PlaceOfLastByte(const Run& run);

    std::uint16_t* image_;
    std::uint64_t byteCapacity_;
    ByteOrder order_;
    std::vector<Run> runs_;
};

}  // namespace tarnel
