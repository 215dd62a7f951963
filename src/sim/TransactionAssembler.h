#pragma once
// Builds debug-port transactions from the decoded channel units and hands them to the
// target: value word, command word, terminator is a write; one word and the terminator is
// an execute, or a read when the word has bit 31 set, which an answer request must then
// follow. The answer goes back as 8 bytes 0x3n, n the bit-reversed nibble, most
// significant first. Every other arrangement is a protocol error and reaches no target.

#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>
#include <vector>

#include "sim/ByteDecoder.h"
#include "sim/ProtocolLog.h"
#include "sim/Target.h"

namespace tarnel::sim {

class TransactionAssembler {
public:
    TransactionAssembler(ProtocolLog& log, Target& target, std::deque<std::uint8_t>& answers)
        : log_(log), target_(target), answers_(answers) {}

    // Takes a Word, Terminator or AnswerRequest unit.
    void Take(const Unit& unit);

    bool Pending() const { return !words_.empty() || readCommand_.has_value() || discarding_; }
    // Drops a transaction in progress, reporting it as cut short by `cause`.
    void Interrupt(std::string_view cause);

private:
    void Terminate();
    void Answer();

    ProtocolLog& log_;
    Target& target_;
    std::deque<std::uint8_t>& answers_;
    std::vector<std::uint32_t> words_;
    std::optional<std::uint32_t> readCommand_;  // a read waiting for its answer request
    bool discarding_ = false;  // an overlong transaction is dropped up to its terminator
};

}  // namespace tarnel::sim
