#pragma once
// Internal to the link: recording a driver call's status in the link record, and what the
// link's files share.

#include "link/AdapterLink.h"

namespace tarnel {

struct AdapterLink {
    FT_HANDLE handle;       // the open adapter; kNoDevice (-1) when none is open
    FT_STATUS lastStatus;   // status of the last recorded driver call; non-zero: failed
    std::int32_t outCount;  // bytes waiting in outBuffer, 0..kOutBufferSize
    std::uint8_t outBuffer[kOutBufferSize];  // output waiting to be written, oldest first
};

// The process's one link record. It is zero at process start; OpenLink is the first
// operation applied to it.
AdapterLink& TheAdapterLink();

}  // namespace tarnel

namespace tarnel::detail {

// Stores the status of a recorded driver call and hands it back.
inline FT_STATUS Record(FT_STATUS status) {
    TheAdapterLink().lastStatus = status;
    return status;
}

inline bool LinkHasFailed() {
    return TheAdapterLink().lastStatus != FT_OK;
}

// Both of the driver's queues, receive and transmit.
inline constexpr std::uint32_t kPurgeBoth = FT_PURGE_RX | FT_PURGE_TX;

}  // namespace tarnel::detail
