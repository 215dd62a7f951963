#pragma once
// Reads the debug-channel transactions back out of the FT_Write lines of a wire trace,
// independently of the tool's own encoder: words of 0xCA and eight nibble bytes, the
// six-byte terminator, and answer requests. Bytes between transactions (probe, line idle,
// attach and detach bytes) are passed over.

#include <cstdint>
#include <string>
#include <vector>

namespace tarnel::test {

struct Transaction {
    enum Kind { Write, Execute, Read } kind;
    std::uint32_t command;
    std::uint32_t value;  // writes only

    bool operator==(const Transaction&) const = default;
};

std::string Describe(const Transaction& t);

// The transactions in the trace; anything that does not decode is added to `errors`.
std::vector<Transaction> DecodeTransactions(const std::vector<std::string>& trace,
                                            std::vector<std::string>& errors);

}  // namespace tarnel::test
