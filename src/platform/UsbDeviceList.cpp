#include "platform/UsbDeviceList.h"

#include <libusb.h>

#include <algorithm>
#include <array>

namespace tarnel::usb {
namespace {

struct Location {
    std::uint8_t bus = 0;
    std::array<std::uint8_t, 8> ports{};  // libusb reports at most 7 levels
    int depth = 0;
    std::uint8_t address = 0;

    bool operator<(const Location& other) const {
        if (bus != other.bus) {
            return bus < other.bus;
        }
        const auto mine = ports.begin() + depth;
        const auto theirs = other.ports.begin() + other.depth;
        if (!std::equal(ports.begin(), mine, other.ports.begin(), theirs)) {
            return std::lexicographical_compare(ports.begin(), mine, other.ports.begin(), theirs);
        }
        return address < other.address;
    }
};

Location LocationOf(libusb_device* device) {
    Location location;
    location.bus = libusb_get_bus_number(device);
    const int depth = libusb_get_port_numbers(device, location.ports.data(),
                                              static_cast<int>(location.ports.size()));
    location.depth = depth > 0 ? depth : 0;
    location.address = libusb_get_device_address(device);
    return location;
}

}  // namespace

VendorDeviceList::VendorDeviceList(libusb_context* context) {
    libusb_device** all = nullptr;
    const ssize_t count = libusb_get_device_list(context, &all);
    if (count < 0) {
        return;
    }
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(all[i], &descriptor) == 0 &&
            descriptor.idVendor == kVendorId) {
            devices_.push_back(libusb_ref_device(all[i]));
        }
    }
    libusb_free_device_list(all, 1);
    std::stable_sort(devices_.begin(), devices_.end(), [](libusb_device* a, libusb_device* b) {
        return LocationOf(a) < LocationOf(b);
    });
    ok_ = true;
}

VendorDeviceList::~VendorDeviceList() {
    for (libusb_device* device : devices_) {
        libusb_unref_device(device);
    }
}

std::uint32_t DeviceId(libusb_device* device) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != 0) {
        return 0;
    }
    return std::uint32_t{descriptor.idVendor} << 16 | descriptor.idProduct;
}

}  // namespace tarnel::usb
