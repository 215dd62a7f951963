#pragma once
// Internal to the link: recording a driver call's status in the link record.

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

}  // namespace tarnel::detail
