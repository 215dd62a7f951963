#pragma once
// Splits the byte stream that reaches the adapter in its normal mode into the units that
// it knows: the probe byte, the line-idle sequence, the attach and detach bytes, a word
// (0xCA and 8 nibble bytes 0x3n, n the bit-reversed nibble, most significant first), an
// answer request (0xCA and 8 bytes 0x70) and the transaction terminator. A sequence may be
// split over several writes. A byte that fits nowhere is a protocol error; a sequence that
// another byte cuts short is one too, and that byte then starts afresh.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "sim/ProtocolLog.h"

namespace tarnel::sim {

struct Unit {
    enum class Kind { Probe, LineIdle, Attach, Detach, Word, AnswerRequest, Terminator };
    Kind kind;
    std::uint32_t word = 0;  // the decoded value of a Word
};

std::string_view UnitName(Unit::Kind kind);

// The 4-bit bit reversal; its own inverse.
constexpr std::uint8_t ReverseNibble(unsigned nibble) {
    return static_cast<std::uint8_t>(((nibble & 1) << 3) | ((nibble & 2) << 1) |
                                     ((nibble & 4) >> 1) | ((nibble & 8) >> 3));
}

class ByteDecoder {
public:
    explicit ByteDecoder(ProtocolLog& log) : log_(log) {}

    // Takes one byte; returns the unit that it completes, if any.
    std::optional<Unit> Feed(std::uint8_t byte);
    // Takes bytes from the front of `bytes` up to and including the byte that completes a
    // unit (all of them when none does) and removes them from `bytes`; returns that unit,
    // if any. The same as feeding them one by one, without the cost of a call per byte.
    std::optional<Unit> FeedSome(std::span<const std::uint8_t>& bytes);

    // Forgets a sequence in progress without a report (the device was opened afresh).
    void Clear() { state_ = State::Idle; }
    // Drops a sequence in progress, reporting it as cut short by `cause`.
    void Interrupt(std::string_view cause);

private:
    enum class State {
        Idle,
        Fixed,        // matching sequence_
        WordStart,    // after the marker: a nibble byte starts a word, 0x70 a request
        WordNibbles,  // a word's nibble bytes
        AnswerBytes,  // an answer request's 0x70 bytes
    };
    std::optional<Unit> Start(std::uint8_t byte);
    std::optional<Unit> WholeUnit(std::span<const std::uint8_t>& bytes);
    std::optional<Unit> TakeNibbles(std::span<const std::uint8_t>& bytes);
    std::string Progress() const;

    ProtocolLog& log_;
    State state_ = State::Idle;
    Unit::Kind kind_ = Unit::Kind::Probe;
    std::span<const std::uint8_t> sequence_;  // the fixed sequence being matched
    unsigned position_ = 0;                   // bytes matched, the opening one included
    std::uint32_t word_ = 0;
};

}  // namespace tarnel::sim
