#pragma once
// Reads a wire trace back for the tests, by its documented line format and without the
// simulator's own trace writer: the lines, the driver calls among them, the protocol errors
// that the simulator noted, the bytes written and the bytes that reached the adapter.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tarnel::test {

struct WireTraceText {
    std::vector<std::string> lines;           // every line, comments included
    std::vector<std::string> calls;           // the lines that are not comments
    std::vector<std::string> protocolErrors;  // the text of each "# protocol error: " line
};

// The trace at `path`; empty when there is no such file.
WireTraceText ReadWireTrace(const std::filesystem::path& path);

// The whole lines of the calls named in `names` ("FT_Write", "FT_Close", ...), in order.
std::vector<std::string> CallsNamed(const std::vector<std::string>& lines,
                                    std::initializer_list<std::string_view> names);

// The hex field of every FT_Write from line `from` on: the bytes asked to be written,
// whether or not the driver took them.
std::vector<std::string> WrittenHex(const std::vector<std::string>& lines, std::size_t from = 0);

// The bytes that reached the adapter: of each FT_Write, as many as the driver reported
// written ("-> <status> <written>").
std::vector<std::uint8_t> AcceptedBytes(const std::vector<std::string>& lines);

}  // namespace tarnel::test
