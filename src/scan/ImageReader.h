#pragma once
// The image file reader and the stream primitives it is built from.
//
// An image file is text of "@" records, one 16-bit word each: white space, "@", six hex
// digits of word address (24 bits), white space (line ends included), four hex digits of
// value, and the rest of the line, which is ignored. A line that does not begin with "@"
// after its white space is ignored. Later records for an address replace earlier ones.

#include <cstdint>
#include <string>

#include "scan/ByteStream.h"

namespace tarnel {

// Reads the image file at path, in text mode, into image (capacity words). Writes only the
// words that complete records name below capacity; every other word keeps the caller's
// fill. Returns the highest address among the complete records, whether or not it was
// below capacity, or -1 when the file cannot be opened or holds no complete record.
int ReadWordImage(const std::string& path, std::uint16_t* image, std::uint32_t capacity);
// The same over a stream that is already open (read to its end, not closed).
int ReadWordImage(ByteStream& stream, std::uint16_t* image, std::uint32_t capacity);

struct ImageReadResult {
    int highest = -1;               // as ReadWordImage returns it
    std::uint32_t wordsBeyond = 0;  // distinct addresses at or above capacity, not stored
};

// ReadWordImage over an open stream that also counts the words it could not store: every
// address at or above `capacity` that a complete record names, each counted once.
ImageReadResult ReadWordImageCounted(ByteStream& stream, std::uint16_t* image,
                                     std::uint32_t capacity);

// Reads and drops white space (space, tab, line feed, vertical tab, form feed, carriage
// return) and returns the next character, pushed back so that the next read gets it again;
// -1 at the end of the input.
int PeekNonSpace(ByteStream& stream);

// Reads until a character that occurs in set (a zero-terminated string; a zero byte read
// counts as a member of every set), pushes it back and returns it; -1 at the end.
int SkipUntilOneOf(ByteStream& stream, const char* set);

// Reads exactly one character, whatever it is, and returns its HexDigitValue.
int ReadHexDigit(ByteStream& stream);
// Two hex digits, the first the more significant: 0 to 255, or -1. A failing first digit
// returns at once (one character consumed); otherwise two characters are consumed.
int ReadHexByte(ByteStream& stream);
// Two hex bytes, the first the more significant: 0 to 0xFFFF, or -1. Consumes one or two
// characters when the first byte fails, three or four when the second fails.
int ReadHexWord(ByteStream& stream);

// 0 to 15 for 0-9, A-F and a-f; -1 for anything else, end of input and 128 to 255 included.
int HexDigitValue(int c);

}  // namespace tarnel
