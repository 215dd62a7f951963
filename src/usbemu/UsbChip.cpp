// One emulated USB serial chip: endpoint 0 requests, bulk transfers, the latency timer.

#include "usbemu/UsbChip.h"

#include <algorithm>
#include <array>

namespace tarnel::usbemu {
namespace {

// Vendor requests on endpoint 0.
constexpr std::uint8_t kReset = 0x00;
constexpr std::uint8_t kModemControl = 0x01;
constexpr std::uint8_t kFlowControl = 0x02;
constexpr std::uint8_t kSetBaudRate = 0x03;
constexpr std::uint8_t kSetData = 0x04;
constexpr std::uint8_t kSetLatencyTimer = 0x09;
constexpr std::uint8_t kGetLatencyTimer = 0x0A;
constexpr std::uint8_t kSetBitMode = 0x0B;
constexpr std::uint8_t kReadPins = 0x0C;
// wValue of kReset: 0 resets the port, 1 empties the buffer towards the serial side, 2 the
// buffer towards the host.
constexpr std::uint16_t kPurgeTowardsHost = 2;

constexpr std::uint8_t kRequestTypeMask = 0x60;
constexpr std::uint8_t kRequestTypeVendor = 0x40;
constexpr std::uint8_t kGetDescriptor = 0x06;
constexpr std::uint8_t kDescriptorDevice = 0x01;
constexpr std::uint8_t kDescriptorConfiguration = 0x02;
constexpr std::uint8_t kDescriptorString = 0x03;

// Modem status as an idle chip reports it: CTS and DSR clear, transmitter empty.
constexpr std::array<std::uint8_t, 2> kModemStatus = {0x01, 0x60};
constexpr std::size_t kPayloadPerPacket = kPacketSize - kModemStatus.size();

// 3 MHz divided by (integer + eighths); the eighths are coded in bits 14-15 of wValue
// and bit 0 of wIndex.
constexpr std::uint32_t kBaseClock = 3'000'000;
constexpr std::array<unsigned, 8> kEighthsOfCode = {0, 4, 2, 1, 3, 5, 6, 7};

std::vector<std::uint8_t> StringDescriptor(const std::string& text) {
    std::vector<std::uint8_t> d{static_cast<std::uint8_t>(2 + 2 * text.size()), kDescriptorString};
    for (const char c : text) {
        d.push_back(static_cast<std::uint8_t>(c));
        d.push_back(0);
    }
    return d;
}

}  // namespace

std::uint32_t DecodeBaudRate(std::uint16_t value, std::uint16_t index) {
    const unsigned code = (value >> 14) | ((index & 1u) << 2);
    const unsigned whole = value & 0x3FFFu;
    if (code == 0 && whole == 0) {
        return kBaseClock;
    }
    if (code == 0 && whole == 1) {
        return 2'000'000;
    }
    const std::uint64_t eighths = std::uint64_t{whole} * 8 + kEighthsOfCode[code];
    return static_cast<std::uint32_t>((std::uint64_t{kBaseClock} * 8 + eighths / 2) / eighths);
}

std::vector<std::uint8_t> DeviceDescriptor(std::uint16_t productId) {
    return {0x12,
            0x01,
            0x00,
            0x02,
            0x00,
            0x00,
            0x00,
            0x08,
            kVendorId & 0xFF,
            kVendorId >> 8,
            static_cast<std::uint8_t>(productId & 0xFF),
            static_cast<std::uint8_t>(productId >> 8),
            0x00,
            0x06,
            0x01,
            0x02,
            0x03,
            0x01};
}

std::vector<std::uint8_t> ConfigurationDescriptor() {
    return {
        0x09,
        0x02,
        0x20,
        0x00,
        0x01,
        0x01,
        0x00,
        0xA0,
        0x2D,  // one interface, 90 mA
        0x09,
        0x04,
        0x00,
        0x00,
        0x02,
        0xFF,
        0xFF,
        0xFF,
        0x02,  // vendor class, two endpoints
        0x07,
        0x05,
        kBulkInEndpoint,
        0x02,
        kPacketSize,
        0x00,
        0x00,
        0x07,
        0x05,
        kBulkOutEndpoint,
        0x02,
        kPacketSize,
        0x00,
        0x00,
    };
}

UsbChip::UsbChip(ChipIdentity identity, sim::Adapter* adapter, Clock::duration answerDelay)
    : identity_(std::move(identity)), adapter_(adapter), answerDelay_(answerDelay) {}

void UsbChip::Claimed() {
    answers_.clear();
    if (adapter_ != nullptr) {
        adapter_->Opened();
    }
}

void UsbChip::Released() {
    answers_.clear();
    if (adapter_ != nullptr) {
        adapter_->Closed();
    }
}

ControlAnswer UsbChip::Control(const ControlSetup& setup) {
    if ((setup.requestType & kRequestTypeMask) == kRequestTypeVendor) {
        if (auto answer = Vendor(setup)) {
            return *answer;
        }
        return {.stalled = true, .data = {}};
    }
    return Standard(setup);
}

std::optional<ControlAnswer> UsbChip::Vendor(const ControlSetup& setup) {
    switch (setup.request) {
        case kReset:
            if (setup.value == kPurgeTowardsHost) {
                DropAnswers();
            }
            return ControlAnswer{};
        case kModemControl:
        case kFlowControl:
        case kSetData:
            return ControlAnswer{};
        case kSetBaudRate:
            if (adapter_ != nullptr && adapter_->BitBang()) {
                adapter_->SetBaudRate(DecodeBaudRate(setup.value, setup.index));
            }
            return ControlAnswer{};
        case kSetLatencyTimer:
            if (setup.value == 0 || setup.value > 255) {
                return std::nullopt;
            }
            latencyMs_ = static_cast<std::uint8_t>(setup.value);
            return ControlAnswer{};
        case kGetLatencyTimer:
            return ControlAnswer{.stalled = false, .data = {latencyMs_}};
        case kSetBitMode:
            if (adapter_ != nullptr) {
                adapter_->SetBitMode(setup.value & 0xFFu, setup.value >> 8);
            }
            return ControlAnswer{};
        case kReadPins:
            return ControlAnswer{.stalled = false, .data = {0xFF}};
        default:
            return std::nullopt;
    }
}

ControlAnswer UsbChip::Standard(const ControlSetup& setup) const {
    if (setup.request != kGetDescriptor) {
        return {.stalled = true, .data = {}};
    }
    std::vector<std::uint8_t> d;
    switch (setup.value >> 8) {
        case kDescriptorDevice:
            d = DeviceDescriptor(identity_.productId);
            break;
        case kDescriptorConfiguration:
            d = ConfigurationDescriptor();
            break;
        case kDescriptorString:
            switch (setup.value & 0xFF) {
                case 0:
                    d = {0x04, kDescriptorString, 0x09, 0x04};  // US English only
                    break;
                case 1:
                    d = StringDescriptor(identity_.manufacturer);
                    break;
                case 2:
                    d = StringDescriptor(identity_.product);
                    break;
                case 3:
                    d = StringDescriptor(identity_.serial);
                    break;
                default:
                    return {.stalled = true, .data = {}};
            }
            break;
        default:
            return {.stalled = true, .data = {}};
    }
    d.resize(std::min<std::size_t>(d.size(), setup.length));
    return {.stalled = false, .data = d};
}

void UsbChip::BulkOut(std::span<const std::uint8_t> bytes, Clock::time_point now) {
    if (adapter_ == nullptr) {
        return;
    }
    adapter_->Write(bytes);
    // In bit-bang mode the adapter takes the pulse and answers nothing.
    if (adapter_->BitBang()) {
        return;
    }
    std::uint8_t answer[kPacketSize];
    while (const std::size_t n = adapter_->Read(answer)) {
        if (loseAnswers_) {
            continue;
        }
        for (std::size_t i = 0; i < n; ++i) {
            answers_.push_back({now + answerDelay_, answer[i]});
        }
    }
}

std::size_t UsbChip::ReadyBytes(Clock::time_point now) const {
    const auto firstLater = std::find_if(answers_.begin(), answers_.end(),
                                         [now](const Answer& a) { return a.ready > now; });
    return static_cast<std::size_t>(firstLater - answers_.begin());
}

Clock::time_point UsbChip::InDue(Clock::time_point now) const {
    if (ReadyBytes(now) >= kPayloadPerPacket) {
        return now;
    }
    return std::max(now, lastPacket_ + std::chrono::milliseconds(LatencyMs()));
}

std::size_t UsbChip::BulkIn(std::span<std::uint8_t> buffer, Clock::time_point now) {
    lastPacket_ = now;
    std::size_t ready = ReadyBytes(now);
    std::size_t length = 0;
    // At least one packet, even with nothing to carry: the modem status alone.
    do {
        if (buffer.size() - length < kModemStatus.size()) {
            break;
        }
        std::copy(kModemStatus.begin(), kModemStatus.end(), buffer.begin() + length);
        length += kModemStatus.size();
        const std::size_t take = std::min({ready, kPayloadPerPacket, buffer.size() - length});
        for (std::size_t i = 0; i < take; ++i) {
            buffer[length++] = answers_.front().byte;
            answers_.pop_front();
        }
        ready -= take;
    } while (ready > 0);
    return length;
}

void UsbChip::DropAnswers() {
    answers_.clear();
    if (adapter_ != nullptr) {
        adapter_->PurgeAnswers();
    }
}

}  // namespace tarnel::usbemu
