// The sysfs and udev record of one emulated USB device.

#include "usbemu/DeviceRecord.h"

#include <cstdio>

#include "sim/WireTrace.h"

namespace tarnel::usbemu {
namespace {

// Attribute values end with a newline, written as the two characters \n in the record.
std::string Attribute(const std::string& name, const std::string& value) {
    return "A: " + name + "=" + value + "\\n\n";
}

std::string Format(const char* pattern, unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

}  // namespace

std::string DeviceName(const DeviceLocation& location) {
    return Format("%03u", location.bus) + "/" + Format("%03u", location.number);
}

std::string DeviceRecord(const DeviceLocation& location, const ChipIdentity& identity) {
    const std::string product = Format("%04x", identity.productId);
    const std::string vendor = Format("%04x", kVendorId);
    const std::string port = std::to_string(location.bus) + "-" + std::to_string(location.port);
    const unsigned minor = (location.bus - 1) * 128 + location.number - 1;
    std::vector<std::uint8_t> descriptors = DeviceDescriptor(identity.productId);
    const std::vector<std::uint8_t> configuration = ConfigurationDescriptor();
    descriptors.insert(descriptors.end(), configuration.begin(), configuration.end());

    std::string r;
    r += std::string("P: ") + (kSysfsParent + 4) + "/usb" + std::to_string(location.bus) + "/" +
         port + "\n";
    r += "N: bus/usb/" + DeviceName(location) + "\n";
    r += "E: DEVNAME=/dev/bus/usb/" + DeviceName(location) + "\n";
    r += "E: DEVTYPE=usb_device\n";
    r += "E: DRIVER=usb\n";
    r += "E: PRODUCT=403/" + Format("%x", identity.productId) + "/600\n";
    r += "E: TYPE=0/0/0\n";
    r += "E: BUSNUM=" + Format("%03u", location.bus) + "\n";
    r += "E: DEVNUM=" + Format("%03u", location.number) + "\n";
    r += "E: MAJOR=189\n";
    r += "E: MINOR=" + std::to_string(minor) + "\n";
    r += "E: SUBSYSTEM=usb\n";
    r += "E: ID_VENDOR_ID=" + vendor + "\n";
    r += "E: ID_MODEL_ID=" + product + "\n";
    r += "E: ID_SERIAL_SHORT=" + identity.serial + "\n";
    r += Attribute("bConfigurationValue", "1");
    r += Attribute("bDeviceClass", "00");
    r += Attribute("bNumConfigurations", "1");
    r += Attribute("bNumInterfaces", " 1");
    r += Attribute("bcdDevice", "0600");
    r += Attribute("bMaxPacketSize0", "8");
    r += Attribute("busnum", std::to_string(location.bus));
    r += Attribute("devnum", std::to_string(location.number));
    r += Attribute("dev", "189:" + std::to_string(minor));
    r += Attribute("devpath", std::to_string(location.port));
    r += Attribute("idProduct", product);
    r += Attribute("idVendor", vendor);
    r += Attribute("speed", "12");
    r += Attribute("manufacturer", identity.manufacturer);
    r += Attribute("product", identity.product);
    r += Attribute("serial", identity.serial);
    r += "H: descriptors=" + sim::HexBytes(descriptors) + "\n";
    return r;
}

}  // namespace tarnel::usbemu
