#pragma once
// The wire trace: one line per driver call, appended to a file. The line format is a
// contract that other tools parse; the Format* functions build exactly those lines.
// Lines that begin with '#' are comments (protocol errors and notes of the simulator).

#include <cstdint>
#include <fstream>
#include <span>
#include <string>

#include "sim/Hex.h"  // HexBytes: the hex field of the Write and Read lines

namespace tarnel::sim {

std::string FormatListDevices(std::uint32_t status, std::uint32_t count);
std::string FormatOpen(int index, std::uint32_t status);
std::string FormatGetDeviceInfo(std::uint32_t status, std::uint32_t id);
std::string FormatClose(std::uint32_t status);
std::string FormatSetLatencyTimer(unsigned latencyMs, std::uint32_t status);
std::string FormatSetTimeouts(std::uint32_t readMs, std::uint32_t writeMs, std::uint32_t status);
std::string FormatPurge(std::uint32_t mask, std::uint32_t status);
std::string FormatSetBitMode(unsigned mask, unsigned mode, std::uint32_t status);
std::string FormatSetBaudRate(std::uint32_t baud, std::uint32_t status);
std::string FormatWrite(std::span<const std::uint8_t> bytes, std::uint32_t status,
                        std::uint32_t written);
std::string FormatRead(std::uint32_t count, std::uint32_t status,
                       std::span<const std::uint8_t> got);
std::string FormatCreateDeviceInfoList(std::uint32_t status, std::uint32_t count);
std::string FormatGetDeviceInfoDetail(std::uint32_t index, std::uint32_t status,
                                      std::uint32_t flags, std::uint32_t id,
                                      std::uint32_t location);

class WireTrace {
public:
    // An empty path traces nothing. The file is opened for appending, in binary mode so
    // that lines end in LF on every system; each line is flushed at once so that the trace
    // is complete even when the process ends abruptly.
    explicit WireTrace(const std::string& path);

    bool Enabled() const { return file_.is_open(); }
    void Line(const std::string& line);
    void Comment(const std::string& text);  // writes "# " + text

private:
    std::ofstream file_;
};

}  // namespace tarnel::sim
