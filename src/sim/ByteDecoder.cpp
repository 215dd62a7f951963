#include "sim/ByteDecoder.h"

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
    if (state_ == State::Word) {
        return std::string(request_ ? "answer request" : "word") + " cut short after " +
               std::to_string(position_ - 1) + " of 8 nibble bytes";
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
    if (state_ == State::Fixed) {
        if (byte == sequence_[position_]) {
            if (++position_ == sequence_.size()) {
                state_ = State::Idle;
                return Unit{kind_};
            }
            return std::nullopt;
        }
        Interrupt("byte " + Hex8(byte));
    } else if (state_ == State::Word) {
        const bool nibble = (byte & 0xF0) == 0x30;
        const bool firstAfterMarker = position_ == 1;
        if (nibble && (firstAfterMarker || !request_)) {
            request_ = false;
            word_ = (word_ << 4) | ReverseNibble(byte & 0x0F);
        } else if (byte == kAnswerNibble && (firstAfterMarker || request_)) {
            request_ = true;
        } else {
            Interrupt("byte " + Hex8(byte));
            return Start(byte);
        }
        if (++position_ == kNibbles + 1) {
            state_ = State::Idle;
            return request_ ? Unit{Unit::Kind::AnswerRequest} : Unit{Unit::Kind::Word, word_};
        }
        return std::nullopt;
    }
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
            state_ = State::Word;
            position_ = 1;
            request_ = false;
            word_ = 0;
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
