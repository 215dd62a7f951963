#include "support/WireTraceReader.h"

#include <cstdio>
#include <fstream>

namespace tarnel::test {
namespace {

constexpr std::string_view kWrite = "FT_Write ";
constexpr std::string_view kProtocolError = "# protocol error: ";

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The first field after the call name of an FT_Write line.
std::string_view HexField(std::string_view line) {
    const std::string_view rest = line.substr(kWrite.size());
    return rest.substr(0, rest.find(' '));
}

}  // namespace

WireTraceText ReadWireTrace(const std::filesystem::path& path) {
    WireTraceText trace;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (StartsWith(line, kProtocolError)) {
            trace.protocolErrors.push_back(line.substr(kProtocolError.size()));
        } else if (!StartsWith(line, "#")) {
            trace.calls.push_back(line);
        }
        trace.lines.push_back(std::move(line));
    }
    return trace;
}

std::vector<std::string> CallsNamed(const std::vector<std::string>& lines,
                                    std::initializer_list<std::string_view> names) {
    std::vector<std::string> calls;
    for (const std::string& line : lines) {
        const std::string_view name = std::string_view(line).substr(0, line.find(' '));
        for (const std::string_view wanted : names) {
            if (name == wanted) {
                calls.push_back(line);
                break;
            }
        }
    }
    return calls;
}

std::vector<std::string> WrittenHex(const std::vector<std::string>& lines, std::size_t from) {
    std::vector<std::string> writes;
    for (std::size_t i = from; i < lines.size(); ++i) {
        if (StartsWith(lines[i], kWrite)) {
            writes.emplace_back(HexField(lines[i]));
        }
    }
    return writes;
}

std::vector<std::uint8_t> AcceptedBytes(const std::vector<std::string>& lines) {
    std::vector<std::uint8_t> bytes;
    for (const std::string& line : lines) {
        if (!StartsWith(line, kWrite)) {
            continue;
        }
        const std::string hex(HexField(line));
        unsigned status = 0;
        unsigned written = 0;
        const auto arrow = line.find("->");
        if (arrow == std::string::npos ||
            std::sscanf(line.c_str() + arrow, "-> %u %u", &status, &written) != 2) {
            continue;
        }
        for (std::size_t i = 0; i + 1 < hex.size() && i / 2 < written; i += 2) {
            bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        }
    }
    return bytes;
}

}  // namespace tarnel::test
