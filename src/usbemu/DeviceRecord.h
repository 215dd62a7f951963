#pragma once
// The sysfs and udev record of one emulated USB device, in umockdev's text format.

#include <string>

#include "usbemu/UsbChip.h"

namespace tarnel::usbemu {

// The folder under /sys that holds every emulated device; nothing else creates it, so a
// process that sees it runs inside the emulation.
inline constexpr const char* kSysfsParent = "/sys/devices/platform/tarnel-usb-emulator";

struct DeviceLocation {
    unsigned bus = 1;
    unsigned port = 1;    // on the root hub: port path "1-<port>"
    unsigned number = 2;  // the device number (address) on the bus
};

// "001/002"
std::string DeviceName(const DeviceLocation& location);

std::string DeviceRecord(const DeviceLocation& location, const ChipIdentity& identity);

}  // namespace tarnel::usbemu
