// Opening and closing the link: finding the adapter, setting the driver up, probing.

#include <climits>

#include "link/AdapterLink.h"
#include "link/LinkRecord.h"

namespace tarnel {

using detail::kPurgeBoth;
using detail::Record;

namespace {

constexpr unsigned char kLatencyMs = 1;

// Opens the first device that opens among those listed and keeps it only if it is the
// adapter. Devices that cannot be opened are passed over; the search stops at the first
// device that opens, whether or not it is the adapter.
bool OpenAdapterDevice() {
    AdapterLink& link = TheAdapterLink();
    std::uint32_t count = 0;
    if (FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK) {
        return false;
    }
    for (std::uint32_t index = 0; index < count && index <= INT_MAX; ++index) {
        FT_HANDLE handle = kNoDevice;
        if (FT_Open(static_cast<int>(index), &handle) != FT_OK) {
            continue;
        }
        FT_DEVICE type = 0;
        std::uint32_t id = 0;
        char serial[64] = {};
        char description[64] = {};
        if (FT_GetDeviceInfo(handle, &type, &id, serial, description, nullptr) == FT_OK &&
            id == kAdapterDeviceId) {
            link.handle = handle;
            return true;
        }
        // A foreign device, or one that cannot tell what it is: not recorded.
        FT_Close(handle);
        return false;
    }
    return false;
}

enum class ProbeResult { Answered, Silent, Failed };

// Sends the probe byte and waits (within the read time-out) for one byte back, of any value.
ProbeResult Probe() {
    const FT_HANDLE handle = TheAdapterLink().handle;
    std::uint8_t byte = kProbeByte;
    std::uint32_t written = 0;
    if (Record(FT_Write(handle, &byte, 1, &written)) != FT_OK) {
        return ProbeResult::Failed;
    }
    std::uint32_t got = 0;
    if (Record(FT_Read(handle, &byte, 1, &got)) != FT_OK) {
        return ProbeResult::Failed;
    }
    return got == 1 ? ProbeResult::Answered : ProbeResult::Silent;
}

// Everything after the adapter was opened.
LinkStatus SetUpAdapter() {
    const FT_HANDLE handle = TheAdapterLink().handle;
    if (Record(FT_SetLatencyTimer(handle, kLatencyMs)) != FT_OK ||
        Record(FT_SetTimeouts(handle, kProbeReadTimeoutMs, 0)) != FT_OK ||
        Record(FT_Purge(handle, kPurgeBoth)) != FT_OK) {
        return kLinkFailed;
    }
    ProbeResult probe = Probe();
    if (probe == ProbeResult::Silent) {
        if (const LinkStatus recovered = RecoverAdapter(); recovered != kLinkOk) {
            return recovered;
        }
        probe = Probe();
    }
    if (probe != ProbeResult::Answered) {
        return kLinkFailed;
    }
    if (Record(FT_SetTimeouts(handle, 0, 0)) != FT_OK) {
        return kLinkFailed;
    }
    return SendLineIdle();
}

}  // namespace

LinkStatus OpenLink() {
    AdapterLink& link = TheAdapterLink();
    link.handle = kNoDevice;
    link.outCount = 0;
    if (!OpenAdapterDevice()) {
        return kLinkFailed;
    }
    const LinkStatus result = SetUpAdapter();
    if (result != kLinkOk) {
        // A device left open could never be opened again by the next attempt.
        AbandonLink();
    }
    return result;
}

void AbandonLink() {
    AdapterLink& link = TheAdapterLink();
    if (link.handle == kNoDevice) {
        return;
    }
    FT_Close(link.handle);
    link.handle = kNoDevice;
}

LinkStatus CloseLink() {
    AdapterLink& link = TheAdapterLink();
    if (link.handle == kNoDevice) {
        return kLinkOk;
    }
    LinkStatus result = kLinkOk;
    if (FlushLink() != kLinkOk) {
        result = kLinkFailed;
    }
    if (SendLineIdle() != kLinkOk) {
        result = kLinkFailed;
    }
    if (Record(FT_Close(link.handle)) != FT_OK) {
        return kLinkFailed;
    }
    link.handle = kNoDevice;
    return result;
}

}  // namespace tarnel
