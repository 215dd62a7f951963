// One emulated device node: the usbdevfs ioctls of libusb, answered as the kernel does.

#include "usbemu/UsbfsDevice.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim/Hex.h"
#include "sim/WireTrace.h"

namespace tarnel::usbemu {
namespace {

// The kernel serial driver the emulated devices can have bound.
constexpr const char* kSerialDriver = "usbserial";
constexpr std::size_t kSetupSize = 8;
constexpr std::uint8_t kDirectionIn = 0x80;
// One URB per transfer, any length, and URBs stay reapable after an unplug.
constexpr std::uint32_t kCapabilities =
    USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
    USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

usbdevfs_urb* UrbOf(UMockdevIoctlData* data) {
    return reinterpret_cast<usbdevfs_urb*>(data->data);
}

// Copies the structure the ioctl argument points to; false when it cannot be read.
bool ReadArgument(UMockdevIoctlData* arg, void* into, std::size_t size) {
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, size, nullptr);
    if (data == nullptr) {
        return false;
    }
    std::memcpy(into, data->data, size);
    g_object_unref(data);
    return true;
}

// Hex digits without the 0x of the simulator's own helpers.
std::string Hex2(unsigned value) {
    return sim::Hex8(value).substr(2);
}

std::string Hex4(unsigned value) {
    return sim::Hex16(value).substr(2);
}

// A URB that completes only when it is discarded or the device goes.
constexpr Clock::time_point kNeverDue = Clock::time_point::max();

// A reap held back until a URB falls due.
struct HeldReap {
    UsbfsDevice* device;
    UMockdevIoctlClient* client;
    UMockdevIoctlData* arg;
};

}  // namespace

UsbfsDevice::UsbfsDevice(UsbfsDeviceSetup setup, UsbChip& chip, UsbTrace& trace)
    : setup_(std::move(setup)),
      chip_(chip),
      trace_(trace),
      handler_(umockdev_ioctl_base_new()),
      driverBound_(setup_.serialDriverBound) {
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&UsbfsDevice::OnIoctl), this);
}

UsbfsDevice::~UsbfsDevice() {
    const std::lock_guard lock(mutex_);
    for (Urb& urb : urbs_) {
        DropReferences(urb);
    }
    urbs_.clear();
    DropClaim();
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_object_unref(handler_);
}

bool UsbfsDevice::EverClaimed() {
    const std::lock_guard lock(mutex_);
    return everClaimed_;
}

bool UsbfsDevice::Claimed() {
    const std::lock_guard lock(mutex_);
    return claimed_;
}

bool UsbfsDevice::Idle() {
    const std::lock_guard lock(mutex_);
    return heldReaps_ == 0;
}

bool UsbfsDevice::SerialDriverBound() {
    const std::lock_guard lock(mutex_);
    return driverBound_;
}

void UsbfsDevice::DropReferences(Urb& urb) {
    g_object_unref(urb.buffer);
    g_object_unref(urb.urb);
}

gboolean UsbfsDevice::OnIoctl(UMockdevIoctlBase* /*handler*/, UMockdevIoctlClient* client,
                              gpointer self) {
    return static_cast<UsbfsDevice*>(self)->Handle(client) ? TRUE : FALSE;
}

// umockdev drops a client once its connection is gone, also when it died with an ioctl
// held (a reap waiting for its deadline), where it never reports the close: the end of
// the client object is the one sign of a closed node that always comes.
void UsbfsDevice::OnClaimantGone(gpointer self, GObject* client) {
    static_cast<UsbfsDevice*>(self)->ClientVanished(reinterpret_cast<UMockdevIoctlClient*>(client));
}

void UsbfsDevice::ClientVanished(UMockdevIoctlClient* client) {
    const std::lock_guard lock(mutex_);
    std::erase_if(urbs_, [client](Urb& urb) {
        if (urb.client != client) {
            return false;
        }
        DropReferences(urb);
        return true;
    });
    if (claimed_ && claimant_ == client) {
        claimed_ = false;
        claimant_ = nullptr;  // its weak reference went with it
        chip_.Released();
        trace_.Line(setup_.name, "RELEASE 0 -> 0");
        trace_.Comment("emulator: " + setup_.name + " released: its client closed the node");
    }
}

bool UsbfsDevice::Handle(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const std::lock_guard lock(mutex_);
    const auto finish = [client](int error) {
        umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
    };
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* caps =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
            if (caps == nullptr) {
                finish(EFAULT);
                return true;
            }
            std::memcpy(caps->data, &kCapabilities, sizeof kCapabilities);
            g_object_unref(caps);
            finish(0);
            return true;
        }
        case USBDEVFS_SUBMITURB:
            Submit(client, arg);
            return true;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            // libusb only ever asks without waiting; both are answered alike.
            Reap(client, arg);
            return true;
        case USBDEVFS_DISCARDURB:
            Discard(client, arg);
            return true;
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE: {
            unsigned interface = 0;
            if (!ReadArgument(arg, &interface, sizeof interface)) {
                finish(EFAULT);
                return true;
            }
            finish(request == USBDEVFS_CLAIMINTERFACE ? Claim(client, interface, false)
                                                      : Release(interface));
            return true;
        }
        case USBDEVFS_DISCONNECT_CLAIM: {
            usbdevfs_disconnect_claim claim{};
            if (!ReadArgument(arg, &claim, sizeof claim)) {
                finish(EFAULT);
                return true;
            }
            claim.driver[sizeof claim.driver - 1] = '\0';
            // libusb asks to detach any driver except its own.
            const bool except = (claim.flags & USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER) != 0;
            const bool detach = !except || std::strcmp(claim.driver, kSerialDriver) != 0;
            finish(Claim(client, claim.interface, detach));
            return true;
        }
        case USBDEVFS_GETDRIVER: {
            UMockdevIoctlData* data =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr);
            if (data == nullptr) {
                finish(EFAULT);
                return true;
            }
            auto* driver = reinterpret_cast<usbdevfs_getdriver*>(data->data);
            int error = gone_ ? ENODEV : ENODATA;
            if (!gone_ && driverBound_) {
                std::snprintf(driver->driver, sizeof driver->driver, "%s", kSerialDriver);
                error = 0;
            }
            g_object_unref(data);
            finish(error);
            return true;
        }
        case USBDEVFS_IOCTL:
            finish(DriverIoctl(arg));
            return true;
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP:
        case USBDEVFS_RESET:
            finish(gone_ ? ENODEV : 0);
            return true;
        default:
            trace_.Comment("emulator: " + setup_.name + " unanswered ioctl " +
                           std::to_string(request));
            finish(ENOTTY);
            return true;
    }
}

void UsbfsDevice::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    const Clock::time_point now = Clock::now();
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    if (urbData == nullptr) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    usbdevfs_urb* raw = UrbOf(urbData);
    const bool bulk = raw->type == USBDEVFS_URB_TYPE_BULK;
    const bool control = raw->type == USBDEVFS_URB_TYPE_CONTROL;
    const bool bulkOut = bulk && raw->endpoint == kBulkOutEndpoint;
    const bool bulkIn = bulk && raw->endpoint == kBulkInEndpoint;
    if (raw->buffer_length < 0 || !(control || bulkOut || bulkIn) ||
        (control && raw->buffer_length < static_cast<int>(kSetupSize))) {
        g_object_unref(urbData);
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    const bool outFails = bulkOut && !gone_ && CountBulkOut();
    if (gone_) {
        g_object_unref(urbData);
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return;
    }
    UMockdevIoctlData* buffer =
        umockdev_ioctl_data_resolve(urbData, G_STRUCT_OFFSET(usbdevfs_urb, buffer),
                                    static_cast<gsize>(raw->buffer_length), nullptr);
    if (buffer == nullptr) {
        g_object_unref(urbData);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    Urb urb{urbData, buffer, now, bulkIn, 0, 0, client};
    if (control) {
        SubmitControl(urb);
    } else if (bulkOut) {
        SubmitBulkOut(urb, now, outFails);
    } else {
        urb.due = chip_.InDue(now);
    }
    urbs_.push_back(urb);
    umockdev_ioctl_client_complete(client, 0, 0);
}

void UsbfsDevice::SubmitControl(Urb& urb) {
    const std::uint8_t* bytes = urb.buffer->data;
    ControlSetup setup;
    setup.requestType = bytes[0];
    setup.request = bytes[1];
    setup.value = static_cast<std::uint16_t>(bytes[2] | bytes[3] << 8);
    setup.index = static_cast<std::uint16_t>(bytes[4] | bytes[5] << 8);
    setup.length = static_cast<std::uint16_t>(bytes[6] | bytes[7] << 8);
    const std::size_t room = static_cast<std::size_t>(urb.buffer->data_len) - kSetupSize;
    const std::size_t length = std::min<std::size_t>(setup.length, room);
    const bool in = (setup.requestType & kDirectionIn) != 0;
    const ControlAnswer answer = chip_.Control(setup);
    std::span<const std::uint8_t> data;
    if (answer.stalled) {
        urb.status = -EPIPE;
    } else if (in) {
        const std::size_t n = std::min(answer.data.size(), length);
        std::memcpy(urb.buffer->data + kSetupSize, answer.data.data(), n);
        urb.actualLength = static_cast<int>(n);
        data = {urb.buffer->data + kSetupSize, n};
    } else {
        urb.actualLength = static_cast<int>(length);
        data = {bytes + kSetupSize, length};
    }
    trace_.Line(setup_.name, "CONTROL " + Hex2(setup.requestType) + " " + Hex2(setup.request) +
                                 " " + Hex4(setup.value) + " " + Hex4(setup.index) + " " +
                                 std::to_string(setup.length) + " -> " +
                                 std::to_string(urb.status) + " " + sim::HexBytes(data));
    TraceProtocolErrors();
}

bool UsbfsDevice::CountBulkOut() {
    if (setup_.faults == nullptr) {
        return false;
    }
    TransferFaults& faults = *setup_.faults;
    ++faults.bulkOutCount;
    if (faults.bulkOutCount == faults.loseAnswersAt) {
        trace_.Comment("emulator: the adapter's answers are lost from here on");
        chip_.LoseAnswers();
    }
    if (faults.bulkOutCount == faults.inFailsAfter) {
        faults.inFailPending = true;
    }
    if (faults.bulkOutCount == faults.unplugAt && setup_.onUnplug) {
        Unplug();
    }
    return faults.bulkOutCount == faults.outFailsAt;
}

void UsbfsDevice::SubmitBulkOut(Urb& urb, Clock::time_point now, bool fails) {
    std::span<const std::uint8_t> bytes(urb.buffer->data,
                                        static_cast<std::size_t>(urb.buffer->data_len));
    const OutFault fault = fails ? setup_.faults->outFault : OutFault::Short;
    if (fails && fault == OutFault::Stall) {
        trace_.Line(setup_.name, "OUT " + sim::HexBytes(bytes) + " -> " + std::to_string(-EPIPE));
        urb.status = -EPIPE;
        return;
    }
    if (fails && fault == OutFault::TimeOut) {
        trace_.Comment("emulator: " + setup_.name + " takes nothing of OUT " +
                       sim::HexBytes(bytes) + " until the host gives it up");
        urb.due = kNeverDue;
        return;
    }
    if (fails) {
        trace_.Comment("emulator: " + setup_.name + " takes " + std::to_string(bytes.size() / 2) +
                       " of the " + std::to_string(bytes.size()) + " bytes of the next OUT");
        bytes = bytes.first(bytes.size() / 2);
    }
    if (trace_.Enabled()) {
        trace_.Line(setup_.name, "OUT " + sim::HexBytes(bytes) + " -> 0");
    }
    chip_.BulkOut(bytes, now);
    urb.actualLength = static_cast<int>(bytes.size());
    TraceProtocolErrors();
}

void UsbfsDevice::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    if (TryReap(client, arg)) {
        return;
    }
    if (gone_ || urbs_.empty()) {
        umockdev_ioctl_client_complete(client, -1, gone_ ? ENODEV : EAGAIN);
        return;
    }
    const Clock::time_point now = Clock::now();
    Clock::time_point due = urbs_.front().due;
    for (const Urb& urb : urbs_) {
        due = std::min(due, urb.due);
    }
    const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(due - now).count();
    const auto holdMs = static_cast<guint>(std::clamp<long long>(waitMs, 1, kMaxReapHoldMs));
    auto* held = new HeldReap{this, client, arg};
    ++heldReaps_;
    g_object_ref(client);
    g_object_ref(arg);
    GMainContext* context = g_main_context_get_thread_default();
    GSource* source = g_timeout_source_new(holdMs);
    g_source_set_callback(
        source,
        [](gpointer data) -> gboolean {
            auto* reap = static_cast<HeldReap*>(data);
            UsbfsDevice* device = reap->device;
            {
                const std::lock_guard lock(device->mutex_);
                --device->heldReaps_;
                if (!device->TryReap(reap->client, reap->arg)) {
                    umockdev_ioctl_client_complete(reap->client, -1,
                                                   device->gone_ ? ENODEV : EAGAIN);
                }
            }
            g_object_unref(reap->arg);
            g_object_unref(reap->client);
            delete reap;
            return G_SOURCE_REMOVE;
        },
        held, nullptr);
    g_source_attach(source, context);
    g_source_unref(source);
}

bool UsbfsDevice::TryReap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    const Clock::time_point now = Clock::now();
    const auto it =
        std::find_if(urbs_.begin(), urbs_.end(), [now](const Urb& urb) { return urb.due <= now; });
    if (it == urbs_.end()) {
        return false;
    }
    UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
    if (slot == nullptr) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return true;
    }
    Urb urb = *it;
    urbs_.erase(it);
    if (urb.fillOnReap && setup_.faults != nullptr && setup_.faults->inFailPending) {
        setup_.faults->inFailPending = false;
        urb.status = -EPROTO;
        urb.fillOnReap = false;
    }
    if (urb.fillOnReap) {
        const std::span<std::uint8_t> buffer(urb.buffer->data,
                                             static_cast<std::size_t>(urb.buffer->data_len));
        urb.actualLength = static_cast<int>(chip_.BulkIn(buffer, now));
        if (trace_.Enabled()) {
            trace_.Line(
                setup_.name,
                "IN " + std::to_string(urb.buffer->data_len) + " -> 0 " +
                    sim::HexBytes(buffer.first(static_cast<std::size_t>(urb.actualLength))));
        }
    } else if (urb.status != 0 && UrbOf(urb.urb)->type == USBDEVFS_URB_TYPE_BULK &&
               UrbOf(urb.urb)->endpoint == kBulkInEndpoint) {
        trace_.Line(setup_.name, "IN " + std::to_string(urb.buffer->data_len) + " -> " +
                                     std::to_string(urb.status) + " -");
    }
    usbdevfs_urb* raw = UrbOf(urb.urb);
    raw->status = urb.status;
    raw->actual_length = urb.actualLength;
    umockdev_ioctl_data_set_ptr(slot, 0, urb.urb);
    g_object_unref(slot);
    umockdev_ioctl_client_complete(client, 0, 0);
    DropReferences(urb);
    return true;
}

void UsbfsDevice::Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    gulong address = 0;
    std::memcpy(&address, arg->data,
                std::min<std::size_t>(sizeof address, static_cast<std::size_t>(arg->data_len)));
    const auto it = std::find_if(urbs_.begin(), urbs_.end(), [address](const Urb& urb) {
        return urb.urb->client_addr == address;
    });
    if (it == urbs_.end()) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    if (it->due == kNeverDue) {
        trace_.Comment("emulator: " + setup_.name + " held OUT given up by the host");
    }
    // Given back by the next reap as cancelled.
    it->status = -ENOENT;
    it->actualLength = 0;
    it->fillOnReap = false;
    it->due = Clock::now();
    umockdev_ioctl_client_complete(client, 0, 0);
}

int UsbfsDevice::Claim(UMockdevIoctlClient* client, unsigned interface, bool detachFirst) {
    int result = 0;
    if (gone_) {
        result = ENODEV;
    } else if (interface != 0) {
        result = ENOENT;
    } else {
        if (detachFirst && driverBound_) {
            driverBound_ = false;
            trace_.Line(setup_.name, "DETACH-DRIVER 0 -> 0");
        }
        if (driverBound_ || claimed_ || setup_.heldByOther) {
            result = EBUSY;
        } else {
            claimed_ = true;
            claimant_ = client;
            g_object_weak_ref(G_OBJECT(client), &UsbfsDevice::OnClaimantGone, this);
            everClaimed_ = true;
            chip_.Claimed();
        }
    }
    trace_.Line(setup_.name,
                "CLAIM " + std::to_string(interface) + " -> " + std::to_string(-result));
    TraceProtocolErrors();
    return result;
}

void UsbfsDevice::DropClaim() {
    if (claimant_ != nullptr) {
        g_object_weak_unref(G_OBJECT(claimant_), &UsbfsDevice::OnClaimantGone, this);
        claimant_ = nullptr;
    }
    claimed_ = false;
}

int UsbfsDevice::Release(unsigned interface) {
    int result = 0;
    if (gone_) {
        result = ENODEV;
    } else if (interface != 0 || !claimed_) {
        result = EINVAL;
    } else {
        DropClaim();
        chip_.Released();
    }
    trace_.Line(setup_.name,
                "RELEASE " + std::to_string(interface) + " -> " + std::to_string(-result));
    TraceProtocolErrors();
    return result;
}

int UsbfsDevice::DriverIoctl(UMockdevIoctlData* arg) {
    usbdevfs_ioctl command{};
    if (!ReadArgument(arg, &command, sizeof command)) {
        return EFAULT;
    }
    if (gone_) {
        return ENODEV;
    }
    if (command.ifno != 0) {
        return EINVAL;
    }
    if (command.ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT)) {
        const int result = driverBound_ ? 0 : ENODATA;
        driverBound_ = false;
        trace_.Line(setup_.name, "DETACH-DRIVER 0 -> " + std::to_string(-result));
        return result;
    }
    if (command.ioctl_code == static_cast<int>(USBDEVFS_CONNECT)) {
        // The serial driver binds again if it was there to begin with; a claimed interface
        // keeps it off.
        if (!claimed_ && setup_.serialDriverBound) {
            driverBound_ = true;
        }
        trace_.Line(setup_.name, "ATTACH-DRIVER 0 -> 0");
        return 0;
    }
    return ENOTTY;
}

void UsbfsDevice::Unplug() {
    gone_ = true;
    DropClaim();
    driverBound_ = false;
    const Clock::time_point now = Clock::now();
    for (Urb& urb : urbs_) {
        urb.status = -ESHUTDOWN;
        urb.actualLength = 0;
        urb.fillOnReap = false;
        urb.due = now;
    }
    trace_.Comment("emulator: " + setup_.name + " unplugged");
    if (setup_.onUnplug) {
        setup_.onUnplug();
    }
}

void UsbfsDevice::TraceProtocolErrors() {
    if (setup_.log == nullptr) {
        return;
    }
    for (const std::string& message : setup_.log->TakeNew()) {
        trace_.Comment("protocol error: " + message);
    }
}

}  // namespace tarnel::usbemu
