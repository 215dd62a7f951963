#include "e2e/WireTransactions.h"

#include <algorithm>
#include <cstdio>

#include "support/WireTraceReader.h"

namespace tarnel::test {
namespace {

constexpr std::uint8_t kTerminator[6] = {0xA7, 0xEB, 0x8F, 0xE3, 0x86, 0xA3};

std::uint8_t Reverse4(std::uint8_t n) {
    return static_cast<std::uint8_t>(((n & 1) << 3) | ((n & 2) << 1) | ((n & 4) >> 1) |
                                     ((n & 8) >> 3));
}

}  // namespace

std::string Describe(const Transaction& t) {
    char text[64];
    const char* kind = t.kind == Transaction::Write     ? "write"
                       : t.kind == Transaction::Execute ? "execute"
                                                        : "read";
    std::snprintf(text, sizeof text, "%s %08X %08X", kind, t.command, t.value);
    return text;
}

std::vector<Transaction> DecodeTransactions(const std::vector<std::string>& trace,
                                            std::vector<std::string>& errors) {
    const std::vector<std::uint8_t> bytes = AcceptedBytes(trace);
    std::vector<Transaction> transactions;
    std::vector<std::uint32_t> words;
    std::size_t i = 0;
    auto isAnswerRequest = [&](std::size_t at) {
        if (at + 9 > bytes.size() || bytes[at] != 0xCA) {
            return false;
        }
        for (std::size_t k = 1; k <= 8; ++k) {
            if (bytes[at + k] != 0x70) {
                return false;
            }
        }
        return true;
    };
    while (i < bytes.size()) {
        if (bytes[i] == 0xCA && !isAnswerRequest(i)) {
            if (i + 9 > bytes.size()) {
                errors.push_back("word cut short at byte " + std::to_string(i));
                break;
            }
            std::uint32_t word = 0;
            for (std::size_t k = 1; k <= 8; ++k) {
                if ((bytes[i + k] & 0xF0) != 0x30) {
                    errors.push_back("bad nibble byte at " + std::to_string(i + k));
                }
                word = (word << 4) | Reverse4(bytes[i + k] & 0x0F);
            }
            words.push_back(word);
            i += 9;
        } else if (bytes[i] == kTerminator[0] && i + 6 <= bytes.size() &&
                   std::equal(kTerminator, kTerminator + 6, bytes.begin() + i)) {
            i += 6;
            if (words.size() == 2) {
                transactions.push_back({Transaction::Write, words[1], words[0]});
            } else if (words.size() == 1 && isAnswerRequest(i)) {
                transactions.push_back({Transaction::Read, words[0], 0});
                i += 9;
            } else if (words.size() == 1) {
                transactions.push_back({Transaction::Execute, words[0], 0});
            } else {
                errors.push_back("terminator after " + std::to_string(words.size()) + " words");
            }
            words.clear();
        } else if (!words.empty()) {
            errors.push_back("stray byte inside a transaction at " + std::to_string(i));
            ++i;
        } else {
            ++i;  // a link byte between transactions
        }
    }
    return transactions;
}

}  // namespace tarnel::test
