// The link record, buffered output, reads and time-outs.

#include <cstring>

#include "link/AdapterLink.h"
#include "link/LinkRecord.h"

namespace tarnel {
namespace {
AdapterLink theLink{};
int autoFlush = 0;
}  // namespace

AdapterLink& TheAdapterLink() {
    return theLink;
}

int LinkAutoFlush() {
    return autoFlush;
}

void SetLinkAutoFlush(int value) {
    autoFlush = value;
}

FT_STATUS LinkLastStatus() {
    return theLink.lastStatus;
}

bool LinkHoldsDevice() {
    return theLink.handle != kNoDevice;
}

void ResetLink() {
    AbandonLink();
    theLink = AdapterLink{};
    theLink.handle = kNoDevice;
    autoFlush = 0;
}

using detail::LinkHasFailed;
using detail::Record;

LinkStatus FlushLink() {
    AdapterLink& link = theLink;
    if (link.outCount == 0) {
        return kLinkOk;
    }
    if (LinkHasFailed()) {
        return kLinkFailed;
    }
    const auto asked = static_cast<std::uint32_t>(link.outCount);
    std::uint32_t written = 0;
    const FT_STATUS status = Record(FT_Write(link.handle, link.outBuffer, asked, &written));
    // The bytes of a failed or short write are dropped, never retried.
    link.outCount = 0;
    if (status != FT_OK) {
        return kLinkFailed;
    }
    return written == asked ? kLinkOk : kLinkShort;
}

LinkStatus PutByte(int value) {
    if (value == -1) {
        return FlushLink();
    }
    AdapterLink& link = theLink;
    if (link.outCount >= kOutBufferSize) {
        return kLinkFailed;
    }
    link.outBuffer[link.outCount++] = static_cast<std::uint8_t>(value & 0xFF);
    return link.outCount == kOutBufferSize ? FlushLink() : kLinkOk;
}

LinkStatus PutBytes(const std::uint8_t* bytes, int count) {
    if (count == 0) {
        return FlushLink();
    }
    if (count > 0 && bytes == nullptr) {
        return kLinkFailed;
    }
    AdapterLink& link = theLink;
    while (count > 0) {
        const int room = kOutBufferSize - link.outCount;
        if (room <= 0) {
            return kLinkFailed;
        }
        if (count < room) {
            std::memcpy(link.outBuffer + link.outCount, bytes, static_cast<std::size_t>(count));
            link.outCount += count;
            break;
        }
        std::memcpy(link.outBuffer + link.outCount, bytes, static_cast<std::size_t>(room));
        link.outCount = kOutBufferSize;
        bytes += room;
        count -= room;
        // A failed flush drops the bytes not yet copied.
        if (const LinkStatus result = FlushLink(); result != kLinkOk) {
            return result;
        }
    }
    return kLinkOk;
}

LinkStatus ReadBytes(std::uint8_t* destination, int count) {
    if (count < 0 || (count > 0 && destination == nullptr)) {
        return kLinkFailed;
    }
    if (const LinkStatus result = FlushLink(); result != kLinkOk) {
        return result;
    }
    const auto asked = static_cast<std::uint32_t>(count);
    std::uint32_t got = 0;
    // Not refused on a failed link: a successful read ends the failed state.
    if (Record(FT_Read(theLink.handle, destination, asked, &got)) != FT_OK) {
        return kLinkFailed;
    }
    return got == asked ? kLinkOk : kLinkShort;
}

LinkStatus SetLinkTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    return Record(FT_SetTimeouts(theLink.handle, readMs, writeMs)) == FT_OK ? kLinkOk : kLinkFailed;
}

}  // namespace tarnel
