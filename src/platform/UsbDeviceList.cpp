#include "platform/UsbDeviceList.h"

#include <libusb.h>

#include <algorithm>
#include <array>
#include <fstream>

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

VendorDeviceList::VendorDeviceList(libusb_context* context, std::string_view adapter) {
    libusb_device** all = nullptr;
    const ssize_t count = libusb_get_device_list(context, &all);
    if (count < 0) {
        return;
    }
    for (ssize_t i = 0; i < count; ++i) {
        const std::uint32_t id = DeviceId(all[i]);
        if (id >> 16 != kVendorId) {
            continue;
        }
        if (!adapter.empty() && !(IsAdapter(all[i]) && (PortPath(all[i]) == adapter ||
                                                        SerialNumber(all[i]) == adapter))) {
            continue;
        }
        devices_.push_back(libusb_ref_device(all[i]));
    }
    libusb_free_device_list(all, 1);
    // Adapters first, so that another device of the vendor (a USB serial cable) listed
    // before an adapter does not hide it.
    std::stable_sort(devices_.begin(), devices_.end(), [](libusb_device* a, libusb_device* b) {
        if (IsAdapter(a) != IsAdapter(b)) {
            return IsAdapter(a);
        }
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

bool IsAdapter(libusb_device* device) {
    return DeviceId(device) == (std::uint32_t{kVendorId} << 16 | kAdapterProductId);
}

std::string PortPath(libusb_device* device) {
    const Location location = LocationOf(device);
    std::string path = std::to_string(location.bus) + "-";
    for (int i = 0; i < location.depth; ++i) {
        path += (i == 0 ? "" : ".") + std::to_string(location.ports[static_cast<std::size_t>(i)]);
    }
    return path;
}

std::uint32_t LocationId(libusb_device* device) {
    const Location location = LocationOf(device);
    std::uint32_t id = location.bus;
    for (int i = 0; i < location.depth; ++i) {
        id = id << 4 | (location.ports[static_cast<std::size_t>(i)] & 0xFu);
    }
    return id;
}

std::string SerialNumber(libusb_device* device) {
    std::string serial;
    if (std::ifstream file("/sys/bus/usb/devices/" + PortPath(device) + "/serial");
        std::getline(file, serial)) {
        return serial;
    }
    libusb_device_descriptor descriptor{};
    libusb_device_handle* handle = nullptr;
    if (libusb_get_device_descriptor(device, &descriptor) != 0 || descriptor.iSerialNumber == 0 ||
        libusb_open(device, &handle) != 0) {
        return {};
    }
    unsigned char text[128] = {};
    const int length = libusb_get_string_descriptor_ascii(handle, descriptor.iSerialNumber, text,
                                                          static_cast<int>(sizeof text));
    libusb_close(handle);
    return length > 0
               ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length))
               : std::string();
}

}  // namespace tarnel::usb
