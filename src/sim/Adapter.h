#pragma once
// The programming adapter between the USB side and the target's debug port. In its normal
// mode it answers each probe byte with one byte, takes the line-idle sequence, the attach
// and detach bytes, and, while attached, the debug channel, whose transactions go to the
// target. In bit-bang mode it takes the recovery pulse: 248 separate one-byte writes of
// 0x00 at 9600 baud, which bring a silent adapter back.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>

#include "sim/ByteDecoder.h"
#include "sim/Faults.h"
#include "sim/ProtocolLog.h"
#include "sim/Target.h"
#include "sim/TransactionAssembler.h"

namespace tarnel::sim {

inline constexpr unsigned kRecoveryPulseWrites = 248;
inline constexpr std::uint32_t kRecoveryBaud = 9600;
inline constexpr std::uint8_t kProbeAnswer = 0xD0;

class Adapter {
public:
    Adapter(const Faults& faults, ProtocolLog& log, Target& target);
    Adapter(const Adapter&) = delete;
    Adapter& operator=(const Adapter&) = delete;

    // The USB side opened or closed the device. Closing checks that nothing was left
    // half done: a sequence or transaction, bit-bang mode, an attach without a detach.
    void Opened();
    void Closed();

    void Write(std::span<const std::uint8_t> bytes);
    // Moves up to dest.size() queued answer bytes into dest; returns how many.
    std::size_t Read(std::span<std::uint8_t> dest);
    std::size_t Queued() const { return answers_.size(); }
    void PurgeAnswers() { answers_.clear(); }
    void SetBitMode(unsigned mask, unsigned mode);
    void SetBaudRate(std::uint32_t baud);

    bool Attached() const { return attached_; }
    bool BitBang() const { return bitBang_; }
    bool Silent() const { return silent_; }

private:
    void Take(const Unit& unit);
    void TakeChannel(const Unit& unit);
    void WriteBitBang(std::span<const std::uint8_t> bytes);
    void Reset();

    const Faults& faults_;
    ProtocolLog& log_;
    Target& target_;
    std::deque<std::uint8_t> answers_;
    ByteDecoder decoder_;
    TransactionAssembler transactions_;

    bool attached_ = false;
    bool lineIdle_ = false;  // the line-idle sequence came after the open or the last pulse
    bool silent_ = false;    // probes go unanswered until a recovery pulse
    unsigned ignoredProbes_ = 0;
    bool bitBang_ = false;
    bool pulseBaudSet_ = false;
    bool pulseBad_ = false;
    unsigned pulseWrites_ = 0;
};

}  // namespace tarnel::sim
