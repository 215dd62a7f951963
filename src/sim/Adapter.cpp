#include "sim/Adapter.h"

#include <string>

#include "sim/Hex.h"

namespace tarnel::sim {

Adapter::Adapter(const Faults& faults, ProtocolLog& log, Target& target)
    : faults_(faults),
      log_(log),
      target_(target),
      decoder_(log),
      transactions_(log, target, answers_),
      silent_(faults.silentProbes > 0) {}

void Adapter::Reset() {
    answers_.clear();
    attached_ = false;
    lineIdle_ = false;
    bitBang_ = false;
}

void Adapter::Opened() {
    decoder_.Clear();
    Reset();
}

void Adapter::Closed() {
    decoder_.Interrupt("the close of the device");
    transactions_.Interrupt("the close of the device");
    if (bitBang_) {
        log_.Report("device closed in bit-bang mode");
    }
    if (attached_) {
        log_.Report("device closed while attached (no detach bytes)");
    }
    Reset();
}

void Adapter::Write(std::span<const std::uint8_t> bytes) {
    if (bitBang_) {
        WriteBitBang(bytes);
        return;
    }
    while (!bytes.empty()) {
        if (const auto unit = decoder_.FeedSome(bytes)) {
            Take(*unit);
        }
    }
}

void Adapter::Take(const Unit& unit) {
    switch (unit.kind) {
        case Unit::Kind::Word:
        case Unit::Kind::Terminator:
        case Unit::Kind::AnswerRequest:
            TakeChannel(unit);
            return;
        default:
            break;
    }
    transactions_.Interrupt(std::string(UnitName(unit.kind)));
    switch (unit.kind) {
        case Unit::Kind::Probe:
            if (attached_) {
                log_.Report("probe byte while attached");
            } else if (silent_) {
                ++ignoredProbes_;
            } else {
                answers_.push_back(kProbeAnswer);
            }
            return;
        case Unit::Kind::LineIdle:
            lineIdle_ = true;
            return;
        case Unit::Kind::Attach:
            if (attached_) {
                log_.Report("attach bytes while attached");
                return;
            }
            if (!lineIdle_) {
                log_.Report("attach bytes before the line-idle sequence");
                lineIdle_ = true;
            }
            attached_ = true;
            target_.Attached();
            return;
        case Unit::Kind::Detach:
            if (!attached_) {
                log_.Report("detach bytes while not attached");
                return;
            }
            attached_ = false;
            return;
        default:
            return;
    }
}

void Adapter::TakeChannel(const Unit& unit) {
    if (!attached_) {
        log_.Report(std::string(UnitName(unit.kind)) +
                    (unit.kind == Unit::Kind::Word ? " " + Hex32(unit.word) : std::string()) +
                    " on the debug channel while not attached");
        return;
    }
    if (!lineIdle_) {
        // Reported once; the adapter is taken to have found the line from here on.
        log_.Report("debug-channel traffic after a recovery pulse without the line-idle sequence");
        lineIdle_ = true;
    }
    transactions_.Take(unit);
}

std::size_t Adapter::Read(std::span<std::uint8_t> dest) {
    if (bitBang_) {
        log_.Report("read in bit-bang mode");
        return 0;
    }
    std::size_t got = 0;
    while (got < dest.size() && !answers_.empty()) {
        dest[got++] = answers_.front();
        answers_.pop_front();
    }
    return got;
}

void Adapter::SetBitMode(unsigned mask, unsigned mode) {
    if (mask == 0x80 && mode == 1) {
        if (bitBang_) {
            log_.Report("bit-bang mode entered twice");
        }
        decoder_.Interrupt("the switch to bit-bang mode");
        bitBang_ = true;
        pulseBaudSet_ = false;
        pulseBad_ = false;
        pulseWrites_ = 0;
        lineIdle_ = false;
        return;
    }
    if (mask == 0 && mode == 0) {
        if (!bitBang_) {
            log_.Report("normal mode set while not in bit-bang mode");
            return;
        }
        bitBang_ = false;
        if (pulseBad_ || pulseWrites_ != kRecoveryPulseWrites) {
            log_.Report("recovery pulse of " + std::to_string(pulseWrites_) +
                        " writes ended; it takes " + std::to_string(kRecoveryPulseWrites) +
                        " one-byte writes of 0x00 at 9600 baud");
            return;
        }
        if (silent_ && ignoredProbes_ >= faults_.silentProbes) {
            silent_ = false;
        }
        return;
    }
    log_.Report("bit mode " + Hex8(mask) + " " + std::to_string(mode) +
                " (only 0x80 1 and 0x00 0 are used)");
}

void Adapter::SetBaudRate(std::uint32_t baud) {
    if (!bitBang_) {
        log_.Report("baud rate " + std::to_string(baud) + " set outside bit-bang mode");
        return;
    }
    if (baud != kRecoveryBaud) {
        log_.Report("baud rate " + std::to_string(baud) +
                    " for the recovery pulse (9600 expected)");
        pulseBad_ = true;
        return;
    }
    pulseBaudSet_ = true;
}

void Adapter::WriteBitBang(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != 1 || bytes[0] != 0x00) {
        log_.Report("bit-bang write of " + HexBytes(bytes) +
                    " (the recovery pulse is single bytes 0x00)");
        pulseBad_ = true;
        return;
    }
    if (!pulseBaudSet_ && !pulseBad_) {
        log_.Report("recovery pulse sent before the baud rate was set to 9600");
        pulseBad_ = true;
    }
    ++pulseWrites_;
}

}  // namespace tarnel::sim
