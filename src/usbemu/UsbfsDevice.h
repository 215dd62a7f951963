#pragma once
// One emulated device node, /dev/bus/usb/BBB/DDD: answers the usbdevfs ioctls that libusb
// issues on it, as the kernel would, and hands the transfers to the chip.
//
// Every URB is answered by the chip when it is submitted, except a bulk IN, which is
// filled when it falls due (UsbChip::InDue). The node is a pty, which poll reports always
// ready for writing, so libusb asks for completed URBs without pause; a reap that
// finds nothing due is therefore held back until the next URB falls due (at most
// kMaxReapHoldMs) instead of answering EAGAIN at once, which keeps the client from
// spinning.
//
// Kernel driver: with a serial driver bound, claiming fails with EBUSY until the driver
// is detached (USBDEVFS_DISCONNECT or DISCONNECT_CLAIM); a connect request binds it again.
//
// Transfer faults that leave the device present: a bulk OUT that stalls (EPIPE, nothing
// taken), that is never taken (held until the host discards it on its time-out), or that
// the chip takes only half of (completed as done: the host sends the rest again); a bulk
// IN that ends with EPROTO, its answers left queued for the next.
//
// A client that closes the node (its process ended, even by SIGKILL) gives up its claim
// and its URBs in flight, as the kernel does on close: the next process may claim it.
//
// Unplug: URBs in flight complete with -ESHUTDOWN, later requests fail with ENODEV; the
// owner closes the pty behind the node (poll then reports POLLERR) and sends the remove
// event.
//
// The ioctls arrive on umockdev's worker thread; the main thread looks at the device only
// under the same lock.

#include <umockdev.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sim/ProtocolLog.h"
#include "usbemu/EmulatorOptions.h"
#include "usbemu/UsbChip.h"
#include "usbemu/UsbTrace.h"

namespace tarnel::usbemu {

inline constexpr int kMaxReapHoldMs = 50;

// Faults counted over the bulk OUT transfers of every device, from 1.
struct TransferFaults {
    unsigned unplugAt = 0;       // the device vanishes when this transfer is submitted
    unsigned loseAnswersAt = 0;  // answers to this transfer and all later ones are lost
    unsigned outFailsAt = 0;     // this transfer fails as `outFault` says; the device stays
    OutFault outFault = OutFault::Stall;
    unsigned inFailsAfter = 0;  // the first bulk IN completed after this transfer fails
    unsigned bulkOutCount = 0;
    bool inFailPending = false;
};

struct UsbfsDeviceSetup {
    std::string name;  // "001/002"
    bool serialDriverBound = false;
    bool heldByOther = false;         // another program has claimed the interface: claims fail
    sim::ProtocolLog* log = nullptr;  // the protocol log of the adapter behind the chip
    TransferFaults* faults = nullptr;
    // Called on the worker thread once the device has vanished; a device without it never
    // vanishes.
    std::function<void()> onUnplug;
};

class UsbfsDevice {
public:
    UsbfsDevice(UsbfsDeviceSetup setup, UsbChip& chip, UsbTrace& trace);
    ~UsbfsDevice();
    UsbfsDevice(const UsbfsDevice&) = delete;
    UsbfsDevice& operator=(const UsbfsDevice&) = delete;

    UMockdevIoctlBase* Handler() const { return handler_; }
    const std::string& Name() const { return setup_.name; }
    std::string NodePath() const { return "/dev/bus/usb/" + setup_.name; }

    // What the main thread reads when the command has ended.
    bool EverClaimed();
    bool Claimed();
    bool SerialDriverBound();
    // No reap is held back: nothing of the device's is pending on the worker thread.
    bool Idle();

private:
    struct Urb {
        UMockdevIoctlData* urb;     // a reference held until the URB is reaped
        UMockdevIoctlData* buffer;  // its buffer, likewise
        Clock::time_point due;
        bool fillOnReap;  // a bulk IN: filled by the chip when reaped
        int status;
        int actualLength;
        UMockdevIoctlClient* client;  // who submitted it; compared only, never used
    };

    static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
    static void OnClaimantGone(gpointer self, GObject* client);
    // Lets go of the URBs and the claim of a client whose connection is gone.
    void ClientVanished(UMockdevIoctlClient* client);
    // Ends the claim of the claimant (its weak reference included).
    void DropClaim();
    bool Handle(UMockdevIoctlClient* client);
    void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void SubmitControl(Urb& urb);
    void SubmitBulkOut(Urb& urb, Clock::time_point now, bool fails);
    // Counts a bulk OUT against the faults; true when it is the one that fails.
    bool CountBulkOut();
    void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    bool TryReap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    int Claim(UMockdevIoctlClient* client, unsigned interface, bool detachFirst);
    int Release(unsigned interface);
    int DriverIoctl(UMockdevIoctlData* arg);
    void Unplug();
    void TraceProtocolErrors();
    static void DropReferences(Urb& urb);

    UsbfsDeviceSetup setup_;
    UsbChip& chip_;
    UsbTrace& trace_;
    UMockdevIoctlBase* handler_;
    std::mutex mutex_;
    std::vector<Urb> urbs_;  // submitted, not yet reaped, oldest first
    bool claimed_ = false;
    UMockdevIoctlClient* claimant_ = nullptr;  // the client holding the claim; compared only
    bool everClaimed_ = false;
    bool driverBound_;
    bool gone_ = false;
    int heldReaps_ = 0;
};

}  // namespace tarnel::usbemu
