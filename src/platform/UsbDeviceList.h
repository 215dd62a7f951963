#pragma once
// Enumerating the devices of the USB driver's vendor through libusb, in a stable order:
// the programming adapters first, then any other device of the vendor, each group by bus
// number and port path. An adapter can be chosen by serial number or port path.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AdapterSelection.h"

struct libusb_context;
struct libusb_device;

namespace tarnel::usb {

inline constexpr std::uint16_t kVendorId = 0x0403;
inline constexpr std::uint16_t kAdapterProductId = 0xF1A0;
using tarnel::kAdapterVariable;
using tarnel::SelectedAdapter;

// The devices with kVendorId, adapters first. With a non-empty `adapter`, only the adapter
// whose serial number or port path equals it. Each device carries a reference that the
// list owns; it is dropped when the list is destroyed.
class VendorDeviceList {
public:
    // An empty list when enumeration fails; ok() tells the two apart.
    explicit VendorDeviceList(libusb_context* context, std::string_view adapter = {});
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

// Whether `device` is a programming adapter (kVendorId, kAdapterProductId).
bool IsAdapter(libusb_device* device);

// The port path as sysfs and `lsusb -t` show it: the bus number, a dash, and the port
// numbers from the root hub joined by dots, such as "1-4.2".
std::string PortPath(libusb_device* device);

// The location ID the driver API reports: the bus number followed by one hex digit per
// port, "1-4.2" giving 0x142.
std::uint32_t LocationId(libusb_device* device);

// The serial number from sysfs, which needs no access to the device, or else from its
// string descriptor; empty when neither can be read.
std::string SerialNumber(libusb_device* device);

}  // namespace tarnel::usb
