// The driver backend for real adapters, over libftdi1 and libusb-1.0.

#include "platform/UsbBackend.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "platform/UsbDeviceList.h"

namespace tarnel {
namespace {

// The driver API's number for a device type it does not know.
constexpr FT_DEVICE kDeviceTypeUnknown = 3;
constexpr std::size_t kInfoStringSize = 64;
// Control transfers (latency, purge, modes, baud rate) are bounded even while the write
// time-out is 0 (unlimited): they never carry data and a healthy chip answers at once.
constexpr int kControlTimeoutMs = 1000;
// A data write without a time-out (0, as the link sets one while it opens, before the
// attach) still ends: a chip that takes nothing for this long has stalled, and waiting on
// would hang the tool for ever. A healthy chip takes a whole buffer in about a millisecond.
constexpr int kUnlimitedWriteBoundMs = 3000;
// The largest bit-bang pin clock is the rate times this factor; libftdi applies it itself.
constexpr std::uint32_t kBitBangRateFactor = 4;
// What ftdi_usb_open_dev returns when the interface cannot be claimed: another program
// (or a kernel driver that would not let go) holds it.
constexpr int kInterfaceNotClaimed = -5;

struct FtdiDeleter {
    void operator()(ftdi_context* context) const { ftdi_free(context); }
};
using FtdiPtr = std::unique_ptr<ftdi_context, FtdiDeleter>;

struct OpenDevice {
    FtdiPtr ftdi;
    std::uint32_t id = 0;
    std::uint32_t readTimeoutMs = 0;  // 0: no time-out
    int writeTimeoutMs = 0;           // 0: no time-out (bounded, see kUnlimitedWriteBoundMs)
    std::uint32_t location = 0;
};

// One device of the snapshot that CreateDeviceInfoList takes.
struct ListedDevice {
    std::uint32_t id = 0;
    std::uint32_t location = 0;
    std::string serial;
};

// Gives control transfers a bounded time-out for the length of one call.
class ControlTimeout {
public:
    explicit ControlTimeout(ftdi_context* ftdi) : ftdi_(ftdi), saved_(ftdi->usb_write_timeout) {
        if (saved_ == 0 || saved_ > kControlTimeoutMs) {
            ftdi_->usb_write_timeout = kControlTimeoutMs;
        }
    }
    ~ControlTimeout() { ftdi_->usb_write_timeout = saved_; }
    ControlTimeout(const ControlTimeout&) = delete;
    ControlTimeout& operator=(const ControlTimeout&) = delete;

private:
    ftdi_context* ftdi_;
    int saved_;
};

void CopyInfoString(char* destination, const char* source) {
    if (destination == nullptr) {
        return;
    }
    std::snprintf(destination, kInfoStringSize, "%s", source);
}

class UsbBackend final : public DriverBackend {
public:
    UsbBackend() = default;
    UsbBackend(const UsbBackend&) = delete;
    UsbBackend& operator=(const UsbBackend&) = delete;

    ~UsbBackend() override {
        // Closing puts the kernel's driver back on every device still held.
        for (auto& [handle, device] : devices_) {
            ftdi_usb_close(device.ftdi.get());
        }
        devices_.clear();
        if (listContext_ != nullptr) {
            libusb_exit(listContext_);
        }
    }

    FT_STATUS ListDevices(void* arg1, void* /*arg2*/, std::uint32_t flags) override {
        if (flags != FT_LIST_NUMBER_ONLY) {
            return FT_NOT_SUPPORTED;
        }
        if (arg1 == nullptr) {
            return FT_INVALID_PARAMETER;
        }
        return WithDeviceList([&](const usb::VendorDeviceList& list) {
            const auto count = static_cast<std::uint32_t>(list.devices().size());
            std::memcpy(arg1, &count, sizeof count);
        });
    }

    FT_STATUS Open(int deviceNumber, FT_HANDLE* handle) override {
        if (handle == nullptr) {
            return FT_INVALID_PARAMETER;
        }
        if (deviceNumber < 0) {
            return FT_DEVICE_NOT_FOUND;
        }
        FtdiPtr ftdi(ftdi_new());
        if (!ftdi) {
            return FT_INSUFFICIENT_RESOURCES;
        }
        // Detach the kernel's serial driver on open and re-attach it on close.
        ftdi->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
        // The device must come from the libusb context that will own the handle.
        const usb::VendorDeviceList list(ftdi->usb_ctx, usb::SelectedAdapter());
        if (!list.ok()) {
            failureReason_ = "the USB devices cannot be listed";
            return FT_IO_ERROR;
        }
        const auto index = static_cast<std::size_t>(deviceNumber);
        if (index >= list.devices().size()) {
            return FT_DEVICE_NOT_FOUND;
        }
        libusb_device* chosen = list.devices()[index];
        // Fails, rather than crashes, for lack of permission (-4) or a busy interface (-5).
        if (const int opened = ftdi_usb_open_dev(ftdi.get(), chosen); opened < 0) {
            const std::string adapter = usb::SerialNumber(chosen) + " at " + usb::PortPath(chosen);
            failureReason_ = opened == kInterfaceNotClaimed
                                 ? adapter + " is in use by another program"
                                 : adapter + ": " + ftdi_get_error_string(ftdi.get());
            return FT_DEVICE_NOT_OPENED;
        }
        failureReason_.clear();
        OpenDevice device;
        device.id = usb::DeviceId(chosen);
        device.location = usb::LocationId(chosen);
        device.writeTimeoutMs = 0;
        ftdi->usb_write_timeout = kUnlimitedWriteBoundMs;
        device.ftdi = std::move(ftdi);
        const FT_HANDLE assigned = nextHandle_++;
        devices_.emplace(assigned, std::move(device));
        *handle = assigned;
        return FT_OK;
    }

    FT_STATUS GetDeviceInfo(FT_HANDLE handle, FT_DEVICE* type, std::uint32_t* id, char* serial,
                            char* description, void* /*reserved*/) override {
        OpenDevice* device = Find(handle);
        if (device == nullptr) {
            return FT_INVALID_HANDLE;
        }
        if (type != nullptr) {
            *type = kDeviceTypeUnknown;
        }
        if (id != nullptr) {
            *id = device->id;
        }
        if (serial != nullptr || description != nullptr) {
            char serialText[kInfoStringSize] = {};
            char descriptionText[kInfoStringSize] = {};
            ftdi_context* ftdi = device->ftdi.get();
            const ControlTimeout bounded(ftdi);
            if (ftdi_usb_get_strings2(ftdi, libusb_get_device(ftdi->usb_dev), nullptr, 0,
                                      descriptionText, sizeof descriptionText, serialText,
                                      sizeof serialText) < 0) {
                serialText[0] = '\0';
                descriptionText[0] = '\0';
            }
            CopyInfoString(serial, serialText);
            CopyInfoString(description, descriptionText);
        }
        return FT_OK;
    }

    FT_STATUS Close(FT_HANDLE handle) override {
        const auto it = devices_.find(handle);
        if (it == devices_.end()) {
            return FT_INVALID_HANDLE;
        }
        // The handle is released whatever the outcome: libftdi closes the device even when
        // releasing the interface fails (as it does after an unplug).
        const int result = ftdi_usb_close(it->second.ftdi.get());
        devices_.erase(it);
        return result < 0 ? FT_IO_ERROR : FT_OK;
    }

    FT_STATUS SetLatencyTimer(FT_HANDLE handle, unsigned char latencyMs) override {
        OpenDevice* device = Find(handle);
        if (device == nullptr) {
            return FT_INVALID_HANDLE;
        }
        if (latencyMs == 0) {
            return FT_INVALID_PARAMETER;
        }
        const ControlTimeout bounded(device->ftdi.get());
        return ftdi_set_latency_timer(device->ftdi.get(), latencyMs) < 0 ? FT_IO_ERROR : FT_OK;
    }

    FT_STATUS SetTimeouts(FT_HANDLE handle, std::uint32_t readMs, std::uint32_t writeMs) override {
        OpenDevice* device = Find(handle);
        if (device == nullptr) {
            return FT_INVALID_HANDLE;
        }
        device->readTimeoutMs = readMs;
        device->writeTimeoutMs = static_cast<int>(std::min<std::uint32_t>(writeMs, INT_MAX));
        device->ftdi->usb_write_timeout =
            writeMs == 0 ? kUnlimitedWriteBoundMs : device->writeTimeoutMs;
        return FT_OK;
    }

    FT_STATUS Purge(FT_HANDLE handle, std::uint32_t mask) override {
        OpenDevice* device = Find(handle);
        if (device == nullptr) {
            return FT_INVALID_HANDLE;
        }
        if ((mask & ~(FT_PURGE_RX | FT_PURGE_TX)) != 0) {
            return FT_INVALID_PARAMETER;
        }
        ftdi_context* ftdi = device->ftdi.get();
        const ControlTimeout bounded(ftdi);
        int result = 0;
        if (mask == (FT_PURGE_RX | FT_PURGE_TX)) {
            result = ftdi_tcioflush(ftdi);
        } else if (mask == FT_PURGE_RX) {
            result = ftdi_tciflush(ftdi);
        } else if (mask == FT_PURGE_TX) {
            result = ftdi_tcoflush(ftdi);
        }
        return result < 0 ? FT_IO_ERROR : FT_OK;
    }

    FT_STATUS Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                    std::uint32_t* written) override {
        OpenDevice* device = Find(handle);
        if (device == nullptr) {
            return FT_INVALID_HANDLE;
        }
        if (written == nullptr || (buffer == nullptr && count > 0)) {
            return FT_INVALID_PARAMETER;
        }
        ftdi_context* ftdi = device->ftdi.get();
        // libftdi reports a whole write or an error, never a partial count; writing chunk by
        // chunk makes the count reported after an error cover what was really sent.
        const std::uint32_t chunk =
            std::clamp<std::uint32_t>(ftdi->writebuffer_chunksize, 1, INT_MAX);
        const auto* bytes = static_cast<const unsigned char*>(buffer);
        std::uint32_t done = 0;
        while (done < count) {
            const auto size = static_cast<int>(std::min(chunk, count - done));
            const int result = ftdi_write_data(ftdi, bytes + done, size);
            if (result < 0) {
                *written = done;
                return FT_IO_ERROR;
            }
            done += static_cast<std::uint32_t>(result);
        }
        *written = done;
        return FT_OK;
    }

    FT_STATUS Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                   std::uint32_t* got) override {
        OpenDevice* device = Find(handle);
        if (device == nullptr) {
            return FT_INVALID_HANDLE;
        }
        if (got == nullptr || (buffer == nullptr && count > 0)) {
            return FT_INVALID_PARAMETER;
        }
        using Clock = std::chrono::steady_clock;
        const bool bounded = device->readTimeoutMs != 0;
        const Clock::time_point deadline =
            Clock::now() + std::chrono::milliseconds(device->readTimeoutMs);
        auto* bytes = static_cast<unsigned char*>(buffer);
        std::uint32_t total = 0;
        // Each call serves libftdi's own buffer first and otherwise returns after at most
        // one latency period (the chip sends a status packet even when it has no data).
        while (total < count) {
            const auto size = static_cast<int>(std::min<std::uint32_t>(count - total, INT_MAX));
            const int result = ftdi_read_data(device->ftdi.get(), bytes + total, size);
            if (result < 0) {
                *got = total;
                return FT_IO_ERROR;
            }
            total += static_cast<std::uint32_t>(result);
            if (bounded && total < count && Clock::now() >= deadline) {
                break;
            }
        }
        *got = total;
        return FT_OK;
    }

    FT_STATUS SetBitMode(FT_HANDLE handle, unsigned char mask, unsigned char mode) override {
        OpenDevice* device = Find(handle);
        if (device == nullptr) {
            return FT_INVALID_HANDLE;
        }
        // The driver API's mode values are libftdi's: 0 reset, 1 asynchronous bit-bang, ...
        const ControlTimeout bounded(device->ftdi.get());
        return ftdi_set_bitmode(device->ftdi.get(), mask, mode) < 0 ? FT_IO_ERROR : FT_OK;
    }

    FT_STATUS SetBaudRate(FT_HANDLE handle, std::uint32_t baud) override {
        OpenDevice* device = Find(handle);
        if (device == nullptr) {
            return FT_INVALID_HANDLE;
        }
        ftdi_context* ftdi = device->ftdi.get();
        // libftdi multiplies the rate in bit-bang mode; the driver API does not.
        const std::uint32_t rate = ftdi->bitbang_enabled ? baud / kBitBangRateFactor : baud;
        if (rate == 0 || rate > INT_MAX) {
            return FT_INVALID_BAUD_RATE;
        }
        const ControlTimeout bounded(ftdi);
        const int result = ftdi_set_baudrate(ftdi, static_cast<int>(rate));
        if (result == -1) {
            return FT_INVALID_BAUD_RATE;
        }
        return result < 0 ? FT_IO_ERROR : FT_OK;
    }

    FT_STATUS CreateDeviceInfoList(std::uint32_t* count) override {
        if (count == nullptr) {
            return FT_INVALID_PARAMETER;
        }
        return WithDeviceList([&](const usb::VendorDeviceList& list) {
            snapshot_.clear();
            for (libusb_device* device : list.devices()) {
                snapshot_.push_back(
                    {usb::DeviceId(device), usb::LocationId(device), usb::SerialNumber(device)});
            }
            *count = static_cast<std::uint32_t>(snapshot_.size());
        });
    }

    // The description is not read: that needs the device opened. Only this process's own
    // handles mark a device as open.
    FT_STATUS GetDeviceInfoDetail(std::uint32_t index, std::uint32_t* flags, FT_DEVICE* type,
                                  std::uint32_t* id, std::uint32_t* location, char* serial,
                                  char* description, FT_HANDLE* handle) override {
        if (index >= snapshot_.size()) {
            return FT_DEVICE_NOT_FOUND;
        }
        const ListedDevice& listed = snapshot_[index];
        const auto holder = std::find_if(devices_.begin(), devices_.end(), [&](const auto& entry) {
            return entry.second.location == listed.location;
        });
        if (flags != nullptr) {
            *flags = holder != devices_.end() ? FT_FLAGS_OPENED : 0;
        }
        if (type != nullptr) {
            *type = kDeviceTypeUnknown;
        }
        if (id != nullptr) {
            *id = listed.id;
        }
        if (location != nullptr) {
            *location = listed.location;
        }
        if (serial != nullptr) {
            std::snprintf(serial, kSerialSize, "%s", listed.serial.c_str());
        }
        if (description != nullptr) {
            description[0] = '\0';
        }
        if (handle != nullptr) {
            *handle = holder != devices_.end() ? holder->first : 0;
        }
        return FT_OK;
    }

    std::string FailureReason() const override { return failureReason_; }

private:
    // Hands the listed devices to `use`; FT_OK, or the status that says why there is no list.
    template <typename Use>
    FT_STATUS WithDeviceList(Use&& use) {
        if (listContext_ == nullptr) {
            if (const int started = libusb_init(&listContext_); started != 0) {
                listContext_ = nullptr;
                failureReason_ = std::string("the USB library cannot start: ") +
                                 libusb_strerror(static_cast<libusb_error>(started));
                return FT_OTHER_ERROR;
            }
        }
        const usb::VendorDeviceList list(listContext_, usb::SelectedAdapter());
        if (!list.ok()) {
            failureReason_ = "the USB devices cannot be listed";
            return FT_IO_ERROR;
        }
        use(list);
        return FT_OK;
    }

    OpenDevice* Find(FT_HANDLE handle) {
        const auto it = devices_.find(handle);
        return it == devices_.end() ? nullptr : &it->second;
    }

    std::map<FT_HANDLE, OpenDevice> devices_;
    FT_HANDLE nextHandle_ = 1;
    libusb_context* listContext_ = nullptr;
    std::vector<ListedDevice> snapshot_;
    std::string failureReason_;
};

}  // namespace

std::unique_ptr<DriverBackend> MakeUsbBackend() {
    return std::make_unique<UsbBackend>();
}

}  // namespace tarnel
