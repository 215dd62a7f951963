#pragma once
// Enumerating the devices of the USB driver's vendor through libusb, in a stable order.

#include <cstdint>
#include <vector>

struct libusb_context;
struct libusb_device;

namespace tarnel::usb {

inline constexpr std::uint16_t kVendorId = 0x0403;

// The devices with kVendorId, ordered by bus number and port path. Each device carries a
// reference that the list owns; it is dropped when the list is destroyed.
class VendorDeviceList {
public:
    // An empty list when enumeration fails; ok() tells the two apart.
    explicit VendorDeviceList(libusb_context* context);
    ~VendorDeviceList();
    VendorDeviceList(const VendorDeviceList&) = delete;
    VendorDeviceList& operator=(const VendorDeviceList&) = delete;

    bool ok() const { return ok_; }
    const std::vector<libusb_device*>& devices() const { return devices_; }

private:
    bool ok_ = false;
    std::vector<libusb_device*> devices_;
};

// vendor ID << 16 | product ID, or 0 when the descriptor cannot be read.
std::uint32_t DeviceId(libusb_device* device);

}  // namespace tarnel::usb
