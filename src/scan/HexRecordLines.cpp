#include "scan/HexRecordLines.h"

#include <cstdio>

#include "scan/CharSets.h"

namespace tarnel {
namespace {

constexpr int kEndOfText = 0x1A;  // Ctrl-Z, the end of a text file written on old systems

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

}  // namespace

bool HexRecordLines::Next(std::string& line) {
    for (;;) {
        line.clear();
        tooLong_ = false;
        int c = stream_.Get();
        if (c < 0 || c == kEndOfText) {
            return false;
        }
        ++line_;
        for (; c >= 0 && c != '\n' && c != kEndOfText; c = stream_.Get()) {
            if (c == '\r') {
                continue;
            }
            if (line.size() > kLongestRecordLine) {
                tooLong_ = true;  // the rest is not kept
                continue;
            }
            line.push_back(static_cast<char>(c));
        }
        if (c == kEndOfText) {
            stream_.Unget(c);
        }
        std::size_t first = 0;
        while (first < line.size() && IsBlank(line[first])) {
            ++first;
        }
        std::size_t last = line.size();
        while (last > first && IsBlank(line[last - 1])) {
            --last;
        }
        if (first == last && !tooLong_) {
            continue;
        }
        line = line.substr(first, last - first);
        return true;
    }
}

std::optional<std::string> DecodeHexPairs(const std::string& text, std::size_t from,
                                          std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    for (std::size_t i = from; i < text.size(); ++i) {
        if (detail::HexValue(static_cast<unsigned char>(text[i])) < 0) {
            char reason[80];
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (c >= 0x21 && c < 0x7F) {
                std::snprintf(reason, sizeof reason, "'%c' at column %zu is not a hex digit", c,
                              i + 1);
            } else {
                std::snprintf(reason, sizeof reason, "byte 0x%02X at column %zu is not a hex digit",
                              c, i + 1);
            }
            return reason;
        }
    }
    if ((text.size() - from) % 2 != 0) {
        return "odd number of hex digits";
    }
    for (std::size_t i = from; i + 1 < text.size(); i += 2) {
        bytes.push_back(
            static_cast<std::uint8_t>(detail::HexValue(static_cast<unsigned char>(text[i])) * 16 +
                                      detail::HexValue(static_cast<unsigned char>(text[i + 1]))));
    }
    return std::nullopt;
}

}  // namespace tarnel
