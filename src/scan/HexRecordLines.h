#pragma once
// The line reading and hex-pair decoding that the Intel HEX and S-record readers share.
//
// Both formats are text of one record per line: a start mark, then hex digit pairs, the
// last pair a checksum. Lines are read from a binary stream as a text-mode stream would
// give them (carriage returns dropped, a byte 0x1A ends the input); blanks around a record
// and empty lines are allowed.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scan/ByteImage.h"
#include "scan/ByteStream.h"

namespace tarnel {

// The longest record line either format can hold (a 255-byte record) with room to spare;
// a longer line is refused rather than held in memory.
inline constexpr std::size_t kLongestRecordLine = 600;

class HexRecordLines {
public:
    explicit HexRecordLines(ByteStream& stream) : stream_(stream) {}

    // The next line that is not blank, without blanks around it; false at the end of the
    // input. A line longer than kLongestRecordLine gives a fault (TooLong() then tells).
    bool Next(std::string& line);
    bool TooLong() const { return tooLong_; }

    // The line number of the line Next gave last (from 1); 0 before the first.
    std::uint64_t Line() const { return line_; }
    FilePlace Place() const { return {FilePlace::Kind::Line, line_}; }

private:
    ByteStream& stream_;
    std::uint64_t line_ = 0;
    bool tooLong_ = false;
};

// Decodes `text` from index `from` on as hex digit pairs into `bytes`. Returns the fault's
// reason ("'G' at column 9 is not a hex digit", "odd number of hex digits") or nothing.
// Columns count from 1 over the line as Next gave it.
std::optional<std::string> DecodeHexPairs(const std::string& text, std::size_t from,
                                          std::vector<std::uint8_t>& bytes);

}  // namespace tarnel
