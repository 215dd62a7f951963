#include "sim/ByteDecoder.h"

#include <algorithm>
#include <array>
#include <string>

#include "sim/Hex.h"

namespace tarnel::sim {
namespace {

constexpr std::uint8_t kProbe = 0xD0;
constexpr std::uint8_t kWordMarker = 0xCA;
constexpr std::uint8_t kAnswerNibble = 0x70;
constexpr std::array<std::uint8_t, 6> kLineIdle{0x80, 0xC0, 0xE0, 0xA0, 0xA8, 0xB0};
constexpr std::array<std::uint8_t, 2> kAttach{0xA3, 0xE3};
constexpr std::array<std::uint8_t, 2> kDetach{0xE0, 0xA0};
constexpr std::array<std::uint8_t, 6> kTerminator{0xA7, 0xEB, 0x8F, 0xE3, 0x86, 0xA3};
constexpr unsigned kNibbles = 8;
constexpr unsigned kWordBytes = kNibbles + 1;  // the marker and the nibble bytes

// The nibble that each byte carries: for 0x30..0x3F the bit-reversed low nibble, for every
// other byte kNoNibble. One look-up replaces the test and the reversal of each byte.
constexpr std::uint8_t kNoNibble = 0xFF;
constexpr std::array<std::uint8_t, 256> kNibbleOf = [] {
    std::array<std::uint8_t, 256> table{};
    table.fill(kNoNibble);
    for (unsigned n = 0; n < 16; ++n) {
        table[0x30 + n] = ReverseNibble(n);
    }
    return table;
}();

}  // namespace

std::string_view UnitName(Unit::Kind kind) {
    switch (kind) {
        case Unit::Kind::Probe:
            return "probe byte";
        case Unit::Kind::LineIdle:
            return "line-idle sequence";
        case Unit::Kind::Attach:
            return "attach bytes";
        case Unit::Kind::Detach:
            return "detach bytes";
        case Unit::Kind::Word:
            return "word";
        case Unit::Kind::AnswerRequest:
            return "answer request";
        case Unit::Kind::Terminator:
            return "terminator";
    }
    return "unit";
}

std::string ByteDecoder::Progress() const {
    if (state_ == State::WordStart || state_ == State::WordNibbles ||
        state_ == State::AnswerBytes) {
        return std::string(state_ == State::AnswerBytes ? "answer request" : "word") +
               " cut short after " + std::to_string(position_ - 1) + " of 8 nibble bytes";
    }
    return std::string(UnitName(kind_)) + " cut short after " + std::to_string(position_) + " of " +
           std::to_string(sequence_.size()) + " bytes";
}

void ByteDecoder::Interrupt(std::string_view cause) {
    if (state_ != State::Idle) {
        log_.Report(Progress() + " by " + std::string(cause));
        state_ = State::Idle;
    }
}

std::optional<Unit> ByteDecoder::Feed(std::uint8_t byte) {
    std::span<const std::uint8_t> one(&byte, 1);
    return FeedSome(one);
}

std::optional<Unit> ByteDecoder::FeedSome(std::span<const std::uint8_t>& bytes) {
    // One call takes every byte up to the end of the next unit, so that the cost of a call
    // is paid per unit rather than per byte.
    while (!bytes.empty()) {
        if (state_ == State::Idle) {
            if (const auto unit = WholeUnit(bytes)) {
                return unit;
            }
        } else if (state_ == State::WordNibbles) {
            if (const auto unit = TakeNibbles(bytes)) {
                return unit;
            }
            continue;
        }
        const std::uint8_t byte = bytes.front();
        bytes = bytes.subspan(1);
        switch (state_) {
            case State::Fixed:
                if (byte == sequence_[position_]) {
                    if (++position_ == sequence_.size()) {
                        state_ = State::Idle;
                        return Unit{kind_};
                    }
                    continue;
                }
                Interrupt("byte " + Hex8(byte));
                break;
            case State::WordStart:
                if (kNibbleOf[byte] != kNoNibble) {
                    state_ = State::WordNibbles;
                    word_ = kNibbleOf[byte];
                    position_ = 2;
                    continue;
                }
                if (byte == kAnswerNibble) {
                    state_ = State::AnswerBytes;
                    position_ = 2;
                    continue;
                }
                Interrupt("byte " + Hex8(byte));
                break;
            case State::AnswerBytes:
                if (byte == kAnswerNibble) {
                    if (++position_ == kWordBytes) {
                        state_ = State::Idle;
                        return Unit{Unit::Kind::AnswerRequest};
                    }
                    continue;
                }
                Interrupt("byte " + Hex8(byte));
                break;
            case State::Idle:
            case State::WordNibbles:
                break;
        }
        if (const auto unit = Start(byte)) {
            return unit;
        }
    }
    return std::nullopt;
}

// Almost every byte on the wire belongs to a word or a terminator that lies whole in one
// write. Such a unit is decoded here at once; anything else, errors included, is left to
// the byte-by-byte path, which would give the same unit for these bytes.
std::optional<Unit> ByteDecoder::WholeUnit(std::span<const std::uint8_t>& bytes) {
    if (bytes.front() == kWordMarker && bytes.size() >= kWordBytes) {
        std::uint32_t word = 0;
        unsigned seen = 0;  // kNoNibble sets the high bits
        for (unsigned i = 1; i < kWordBytes; ++i) {
            const std::uint8_t nibble = kNibbleOf[bytes[i]];
            seen |= nibble;
            word = (word << 4) | (nibble & 0x0Fu);
        }
        if ((seen & 0xF0u) == 0) {
            bytes = bytes.subspan(kWordBytes);
            return Unit{Unit::Kind::Word, word};
        }
    } else if (bytes.front() == kTerminator[0] && bytes.size() >= kTerminator.size() &&
               std::equal(kTerminator.begin(), kTerminator.end(), bytes.begin())) {
        bytes = bytes.subspan(kTerminator.size());
        return Unit{Unit::Kind::Terminator};
    }
    return std::nullopt;
}

// A word whose bytes came in more than one write, or that is cut short.
std::optional<Unit> ByteDecoder::TakeNibbles(std::span<const std::uint8_t>& bytes) {
    const std::uint8_t* next = bytes.data();
    const std::uint8_t* const end = next + bytes.size();
    unsigned position = position_;
    std::uint32_t word = word_;
    while (next != end) {
        const std::uint8_t nibble = kNibbleOf[*next];
        if (nibble == kNoNibble) {
            break;
        }
        ++next;
        word = (word << 4) | nibble;
        if (++position == kWordBytes) {
            state_ = State::Idle;
            bytes = bytes.subspan(static_cast<std::size_t>(next - bytes.data()));
            return Unit{Unit::Kind::Word, word};
        }
    }
    position_ = position;
    word_ = word;
    bytes = bytes.subspan(static_cast<std::size_t>(next - bytes.data()));
    if (bytes.empty()) {
        return std::nullopt;
    }
    const std::uint8_t byte = bytes.front();
    bytes = bytes.subspan(1);
    Interrupt("byte " + Hex8(byte));
    return Start(byte);
}

std::optional<Unit> ByteDecoder::Start(std::uint8_t byte) {
    const auto fixed = [this](Unit::Kind kind, std::span<const std::uint8_t> sequence) {
        state_ = State::Fixed;
        kind_ = kind;
        sequence_ = sequence;
        position_ = 1;
        return std::nullopt;
    };
    switch (byte) {
        case kProbe:
            return Unit{Unit::Kind::Probe};
        case kWordMarker:
            state_ = State::WordStart;
            position_ = 1;
            return std::nullopt;
        case kLineIdle[0]:
            return fixed(Unit::Kind::LineIdle, kLineIdle);
        case kAttach[0]:
            return fixed(Unit::Kind::Attach, kAttach);
        case kDetach[0]:
            return fixed(Unit::Kind::Detach, kDetach);
        case kTerminator[0]:
            return fixed(Unit::Kind::Terminator, kTerminator);
        default:
            log_.Report("unknown byte " + Hex8(byte));
            return std::nullopt;
    }
}

}  // namespace tarnel::sim
