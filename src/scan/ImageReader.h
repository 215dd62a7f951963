#pragma once
// The image file reader and the stream primitives it is built from.
//
// An image file is text of "@" records, one 16-bit word each: white space, "@", six hex
// digits of word address (24 bits), white space (line ends included), four hex digits of
// value, and the rest of the line, which is ignored. A line that does not begin with "@"
// after its white space is ignored. Later records for an address replace earlier ones.
//
// A record that stops short (a character other than a hex digit, or the end of the file,
// where a digit is due) is malformed: its word is not stored, and the reader resumes at the
// next line end. When the character that failed was itself a line end, that resumption runs
// over the whole of the next line, and a record there is lost too; it counts as malformed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scan/ByteStream.h"

namespace tarnel {

// Reads the image file at path, in text mode, into image (capacity words). Writes only the
// words that complete records name below capacity; every other word keeps the caller's
// fill. Returns the highest address among the complete records, whether or not it was
// below capacity, or -1 when the file cannot be opened or is not a regular file (a FIFO is
// refused without waiting for a writer), a read of it fails (the words read
// before the failure may have been written) or it holds no complete record. Malformed
// records are passed over.
int ReadWordImage(const std::string& path, std::uint16_t* image, std::uint32_t capacity);
// The same over a stream that is already open (read to its end, not closed); a failed read
// ends the input like the end of the file (the stream's Error() tells).
int ReadWordImage(ByteStream& stream, std::uint16_t* image, std::uint32_t capacity);

// A record that could not be read as written.
struct MalformedRecord {
    std::uint64_t line = 0;  // the line it begins on, from 1
    // What was due and what stood there instead, for a person: "six hex digits of address
    // expected after @, found "G"".
    std::string what;
};

// What a reader of an image file found, whatever the file's format.
struct ImageReadResult {
    int highest = -1;                        // as ReadWordImage returns it
    int lowest = -1;                         // the lowest address of a complete record, -1 for none
    std::uint32_t wordsInside = 0;           // distinct addresses below capacity, stored
    std::uint32_t wordsBeyond = 0;           // distinct addresses at or above capacity, not stored
    std::uint64_t malformedCount = 0;        // every malformed record of the file
    std::vector<MalformedRecord> malformed;  // the first kListedMalformed of them, in order
};

// How many malformed records a result lists; the count goes on beyond it.
inline constexpr std::size_t kListedMalformed = 100;

// ReadWordImage over an open stream that also tells the lowest address, counts the words it
// stored and could not store (each address counted once) and the malformed records, with
// their lines. Stores exactly the words ReadWordImage stores.
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
