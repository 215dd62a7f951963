#include "platform/AdapterInventory.h"

#include <libusb.h>

#include "platform/UsbDeviceList.h"

namespace tarnel::usb {
namespace {

AdapterAccess AccessTo(libusb_device* device) {
    libusb_device_handle* handle = nullptr;
    switch (libusb_open(device, &handle)) {
        case LIBUSB_SUCCESS:
            libusb_close(handle);
            return AdapterAccess::Usable;
        case LIBUSB_ERROR_ACCESS:
            return AdapterAccess::NoPermission;
        default:
            return AdapterAccess::Unavailable;
    }
}

}  // namespace

std::optional<std::vector<AdapterInfo>> ListAdapters() {
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0) {
        return std::nullopt;
    }
    std::optional<std::vector<AdapterInfo>> adapters;
    {
        const VendorDeviceList list(context);
        if (list.ok()) {
            adapters.emplace();
            for (libusb_device* device : list.devices()) {
                if (!IsAdapter(device)) {
                    continue;
                }
                adapters->push_back({PortPath(device), SerialNumber(device),
                                     libusb_get_bus_number(device),
                                     libusb_get_device_address(device), AccessTo(device)});
            }
        }
    }
    libusb_exit(context);
    return adapters;
}

}  // namespace tarnel::usb
