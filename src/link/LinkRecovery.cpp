// The recovery pulse and the line-idle sequence.

#include "link/AdapterLink.h"
#include "link/LinkRecord.h"
#include "platform/Sleep.h"

namespace tarnel {

using detail::kPurgeBoth;
using detail::LinkHasFailed;
using detail::Record;

namespace {
constexpr unsigned char kPulseMask = 0x80;  // only data line D7 is an output
constexpr unsigned char kModeBitBang = 1;
constexpr unsigned char kModeNormal = 0;
}  // namespace

LinkStatus RecoverAdapter() {
    if (LinkHasFailed()) {
        return kLinkFailed;
    }
    const FT_HANDLE handle = TheAdapterLink().handle;
    if (Record(FT_SetBitMode(handle, kPulseMask, kModeBitBang)) != FT_OK ||
        Record(FT_Purge(handle, kPurgeBoth)) != FT_OK ||
        Record(FT_SetBaudRate(handle, kRecoveryBaudRate)) != FT_OK) {
        return kLinkFailed;
    }
    // Each zero byte is its own driver call: together they hold D7 low for the pulse.
    for (int i = 0; i < kRecoveryPulseWrites; ++i) {
        const std::uint8_t low = 0x00;
        std::uint32_t written = 0;
        if (Record(FT_Write(handle, &low, 1, &written)) != FT_OK) {
            return kLinkFailed;
        }
    }
    SleepMs(kRecoveryPauseMs);
    if (Record(FT_SetBitMode(handle, 0, kModeNormal)) != FT_OK ||
        Record(FT_Purge(handle, kPurgeBoth)) != FT_OK) {
        return kLinkFailed;
    }
    return kLinkOk;
}

LinkStatus SendLineIdle() {
    if (LinkHasFailed()) {
        return kLinkFailed;
    }
    std::uint32_t written = 0;
    if (Record(FT_Write(TheAdapterLink().handle, kLineIdle, sizeof kLineIdle, &written)) != FT_OK) {
        return kLinkFailed;
    }
    return written == sizeof kLineIdle ? kLinkOk : kLinkShort;
}

}  // namespace tarnel
