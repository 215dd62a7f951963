#pragma once
// Attaching to and detaching from the target's debug port through the adapter.

#include "link/AdapterLink.h"

namespace tarnel {

inline constexpr std::uint8_t kAttachBytes[2] = {0xA3, 0xE3};
inline constexpr std::uint8_t kDetachBytes[2] = {0xE0, 0xA0};
inline constexpr std::uint32_t kAttachedTimeoutMs = 1000;

// Opens the link, sends the attach bytes, sets one-second time-outs and sets autoFlush.
// 0 attached, 1 failed (a short transfer included). A failure leaves no device open and
// autoFlush unchanged.
int AttachAdapter();

// Sends the detach bytes and closes the link; every step runs whatever the earlier ones
// returned. 0 when every step succeeded, otherwise 1.
int DetachAdapter();

}  // namespace tarnel
