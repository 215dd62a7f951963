#include "sim/WireTrace.h"

#include "sim/Hex.h"

namespace tarnel::sim {
namespace {
std::string Status(std::uint32_t status) {
    return std::to_string(status);
}
}  // namespace

std::string FormatListDevices(std::uint32_t status, std::uint32_t count) {
    return "FT_ListDevices -> " + Status(status) + " " + std::to_string(count);
}

std::string FormatOpen(int index, std::uint32_t status) {
    return "FT_Open " + std::to_string(index) + " -> " + Status(status);
}

std::string FormatGetDeviceInfo(std::uint32_t status, std::uint32_t id) {
    return "FT_GetDeviceInfo -> " + Status(status) + " " + Hex32(id);
}

std::string FormatClose(std::uint32_t status) {
    return "FT_Close -> " + Status(status);
}

std::string FormatSetLatencyTimer(unsigned latencyMs, std::uint32_t status) {
    return "FT_SetLatencyTimer " + std::to_string(latencyMs) + " -> " + Status(status);
}

std::string FormatSetTimeouts(std::uint32_t readMs, std::uint32_t writeMs, std::uint32_t status) {
    return "FT_SetTimeouts " + std::to_string(readMs) + " " + std::to_string(writeMs) + " -> " +
           Status(status);
}

std::string FormatPurge(std::uint32_t mask, std::uint32_t status) {
    return "FT_Purge " + std::to_string(mask) + " -> " + Status(status);
}

std::string FormatSetBitMode(unsigned mask, unsigned mode, std::uint32_t status) {
    return "FT_SetBitMode " + Hex8(mask) + " " + std::to_string(mode) + " -> " + Status(status);
}

std::string FormatSetBaudRate(std::uint32_t baud, std::uint32_t status) {
    return "FT_SetBaudRate " + std::to_string(baud) + " -> " + Status(status);
}

std::string FormatWrite(std::span<const std::uint8_t> bytes, std::uint32_t status,
                        std::uint32_t written) {
    return "FT_Write " + HexBytes(bytes) + " -> " + Status(status) + " " + std::to_string(written);
}

std::string FormatRead(std::uint32_t count, std::uint32_t status,
                       std::span<const std::uint8_t> got) {
    return "FT_Read " + std::to_string(count) + " -> " + Status(status) + " " +
           std::to_string(got.size()) + " " + HexBytes(got);
}

std::string FormatCreateDeviceInfoList(std::uint32_t status, std::uint32_t count) {
    return "FT_CreateDeviceInfoList -> " + Status(status) + " " + std::to_string(count);
}

std::string FormatGetDeviceInfoDetail(std::uint32_t index, std::uint32_t status,
                                      std::uint32_t flags, std::uint32_t id,
                                      std::uint32_t location) {
    return "FT_GetDeviceInfoDetail " + std::to_string(index) + " -> " + Status(status) + " " +
           std::to_string(flags) + " " + Hex32(id) + " " + Hex32(location);
}

WireTrace::WireTrace(const std::string& path) {
    if (!path.empty()) {
        file_.open(path, std::ios::out | std::ios::app | std::ios::binary);
    }
}

void WireTrace::Line(const std::string& line) {
    if (file_.is_open()) {
        file_ << line << '\n';
        file_.flush();
    }
}

void WireTrace::Comment(const std::string& text) {
    Line("# " + text);
}

}  // namespace tarnel::sim
