#pragma once
// The USB trace of the emulator: one line per control request and per bulk transfer, plus
// lines for claiming and releasing the interface and for the kernel driver, appended to a
// file and flushed at once. Fields are separated by single spaces:
//
//   <ms> <bus>/<device> CONTROL <type> <request> <value> <index> <length> -> <status> <HEX>
//   <ms> <bus>/<device> OUT <HEX> -> <status>
//   <ms> <bus>/<device> IN <length> -> <status> <HEX>
//   <ms> <bus>/<device> CLAIM|RELEASE|DETACH-DRIVER|ATTACH-DRIVER <interface> -> <status>
//
// <ms> is the time since the emulator started, in milliseconds with three decimals;
// <type> and <request> are two hex digits, <value> and <index> four; <status> is 0 or a
// negative errno (-32 stalled, -108 device gone, -19 no device, -2 cancelled). <HEX> is
// contiguous upper-case hex ("-" for none): the data stage of a control request, the bytes
// of a bulk OUT, and the bytes of a bulk IN with the two modem-status bytes that begin each
// 64-byte packet. Lines that begin with '#' are comments: "# protocol error: " for what
// the simulated adapter and target report, "# emulator: " for the emulator's own notes.

#include <cstdint>
#include <fstream>
#include <mutex>
#include <span>
#include <string>

#include "usbemu/UsbChip.h"

namespace tarnel::usbemu {

class UsbTrace {
public:
    // An empty path traces nothing.
    UsbTrace(const std::string& path, Clock::time_point start);

    bool Enabled() const { return file_.is_open(); }
    bool Failed() const { return failed_; }
    void Line(const std::string& device, const std::string& text);
    void Comment(const std::string& text);

private:
    std::mutex mutex_;
    std::ofstream file_;
    Clock::time_point start_;
    bool failed_ = false;
};

}  // namespace tarnel::usbemu
