#pragma once
// One emulated USB serial chip of the kind the adapter carries (single port, full speed),
// as the host sees it: requests on endpoint 0, bulk OUT on 0x02 and bulk IN on 0x81.
//
// Bytes that arrive over bulk OUT go to the simulated adapter behind the chip (the
// foreign serial converter has none: its bytes go nowhere). The adapter's answers reach
// the chip's receive buffer `answerDelay` after the transfer that caused them, as the
// adapter and target need time to answer. A bulk IN transfer completes one latency period
// after the chip's previous packet (at once when a whole packet is waiting) and carries
// every ready byte that fits, in 64-byte packets that each begin with two modem-status
// bytes; with nothing ready it carries the status bytes alone.
//
// Baud rates arrive as the chip's divisor (3 MHz base with eighths); the adapter is told
// the rate that divisor stands for, and only in bit-bang mode, where the recovery pulse
// depends on it. Purging the chip's buffer towards the host also drops the adapter's
// queued answers.

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/Adapter.h"

namespace tarnel::usbemu {

using Clock = std::chrono::steady_clock;

inline constexpr std::uint16_t kVendorId = 0x0403;
inline constexpr std::uint16_t kAdapterProductId = 0xF1A0;
inline constexpr std::uint16_t kSerialConverterProductId = 0x6001;
inline constexpr std::uint8_t kBulkInEndpoint = 0x81;
inline constexpr std::uint8_t kBulkOutEndpoint = 0x02;
inline constexpr std::size_t kPacketSize = 64;

struct ChipIdentity {
    std::uint16_t productId = kAdapterProductId;
    std::string manufacturer;
    std::string product;
    std::string serial;
};

// The 8 setup bytes of a control transfer.
struct ControlSetup {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
};

// The chip's answer to a control transfer: the data stage of an IN request, or a stall.
struct ControlAnswer {
    bool stalled = false;
    std::vector<std::uint8_t> data;
};

// The chip's descriptors, as the device answers them and sysfs shows them.
std::vector<std::uint8_t> DeviceDescriptor(std::uint16_t productId);
std::vector<std::uint8_t> ConfigurationDescriptor();

// The rate a divisor (wValue, wIndex of the set-baud-rate request) stands for, in baud.
std::uint32_t DecodeBaudRate(std::uint16_t value, std::uint16_t index);

class UsbChip {
public:
    // `adapter` may be null (a chip with nothing behind it); it must outlive the chip.
    UsbChip(ChipIdentity identity, sim::Adapter* adapter, Clock::duration answerDelay);

    const ChipIdentity& Identity() const { return identity_; }

    // The host claimed or released the interface: the adapter behind is opened or closed
    // (and checks that nothing was left half done), and the receive buffer starts empty.
    void Claimed();
    void Released();

    // No request of this chip carries data towards it, so the setup is all it needs.
    ControlAnswer Control(const ControlSetup& setup);
    void BulkOut(std::span<const std::uint8_t> bytes, Clock::time_point now);
    // When a bulk IN transfer submitted at `now` completes.
    Clock::time_point InDue(Clock::time_point now) const;
    // Fills `buffer` as the transfer completing at `now` does; returns its length.
    std::size_t BulkIn(std::span<std::uint8_t> buffer, Clock::time_point now);

    // From now on the adapter's answers never reach the host (the target went quiet).
    void LoseAnswers() { loseAnswers_ = true; }
    // The latency timer stays `ms` whatever the host sets; reading it back still answers
    // what the host set, so the host cannot tell.
    void FixLatency(std::uint8_t ms) { fixedLatencyMs_ = ms; }
    // The period the latency timer runs with.
    std::uint8_t LatencyMs() const { return fixedLatencyMs_ != 0 ? fixedLatencyMs_ : latencyMs_; }

private:
    struct Answer {
        Clock::time_point ready;
        std::uint8_t byte;
    };
    std::optional<ControlAnswer> Vendor(const ControlSetup& setup);
    ControlAnswer Standard(const ControlSetup& setup) const;
    void DropAnswers();
    std::size_t ReadyBytes(Clock::time_point now) const;

    ChipIdentity identity_;
    sim::Adapter* adapter_;
    Clock::duration answerDelay_;
    std::deque<Answer> answers_;
    std::uint8_t latencyMs_ = 16;      // the chip's value after power-up
    std::uint8_t fixedLatencyMs_ = 0;  // 0: the timer runs with latencyMs_
    Clock::time_point lastPacket_{};
    bool loseAnswers_ = false;
};

}  // namespace tarnel::usbemu
