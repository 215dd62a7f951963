#pragma once
// Internal to the link: recording a driver call's status in the link record, and what the
// link's files share.

#include "link/AdapterLink.h"

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
