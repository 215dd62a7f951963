#pragma once
// The programming adapters as the installed driver backend lists them (the D2XX library's
// device list), for hosts where the USB devices are not enumerated by the tool itself.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnel {

struct DriverAdapter {
    std::uint32_t location = 0;  // the driver's location ID (0x142 for port 1-4.2)
    std::string serial;          // empty when the driver gives none
    bool usable = false;         // not open in this or another process
    std::string description;     // the driver's description of the device
};

// Every adapter (USB ID 0403:f1a0) in the installed backend's device list, in its order;
// nothing when the backend cannot make the list. Leaves the backend installed.
std::optional<std::vector<DriverAdapter>> ListDriverAdapters();

}  // namespace tarnel
