#pragma once
// The one connection to the programming adapter: buffered output, reads with the driver's
// time-out, the probe, the recovery pulse and the line-idle sequence.
//
// The link's state (the device handle, the status of the last driver call, the out buffer
// and autoFlush) is its own: the rest of the tool reaches it only through these functions.
//
// Every operation returns a LinkStatus: 0 success, 1 failure (driver error, refused on a
// failed link, buffer full, no adapter, probe unanswered), 2 short transfer (the driver
// moved fewer bytes than asked). The first recorded driver call that fails puts the link
// into a failed state (lastStatus non-zero) in which output is refused without touching the
// driver, until a later recorded driver call succeeds.

#include <cstdint>

#include "platform/DriverApi.h"

namespace tarnel {

inline constexpr std::int32_t kOutBufferSize = 992;

using LinkStatus = int;

inline constexpr LinkStatus kLinkOk = 0;
inline constexpr LinkStatus kLinkFailed = 1;
inline constexpr LinkStatus kLinkShort = 2;

// The adapter's device ID as the driver reports it: vendor ID << 16 | product ID.
inline constexpr std::uint32_t kAdapterDeviceId = 0x0403F1A0u;
inline constexpr std::uint8_t kProbeByte = 0xD0;
inline constexpr std::uint8_t kLineIdle[6] = {0x80, 0xC0, 0xE0, 0xA0, 0xA8, 0xB0};
inline constexpr int kRecoveryPulseWrites = 248;
inline constexpr std::uint32_t kRecoveryBaudRate = 9600;
inline constexpr unsigned kRecoveryPauseMs = 100;
inline constexpr std::uint32_t kProbeReadTimeoutMs = 100;

// When set, every debug-channel write and execute flushes the link after itself.
// 0 at process start; a successful attach sets it. The debug channel changes it for the
// life of a batch (EiceBatch).
int LinkAutoFlush();
void SetLinkAutoFlush(int value);

// The status of the last recorded driver call (0 when it succeeded).
FT_STATUS LinkLastStatus();

// True while the link holds an open device (meaningful once OpenLink has run).
bool LinkHoldsDevice();

// Closes a held device without sending anything and puts the link record and autoFlush
// back as at process start. For tests, which run many links in one process.
void ResetLink();

// Finds the adapter among the listed devices, sets the driver up, probes the adapter
// (with one recovery pulse and a second probe if it stays silent) and sends the line-idle
// sequence. On success the driver's time-outs are 0 and 0. Every failure after a device
// was opened closes that device again, so handle is -1 whenever the result is non-zero.
LinkStatus OpenLink();

// Flushes, sends the line-idle sequence and closes the device; every step runs whatever
// the earlier ones returned. 0 or 1; handle stays set only when the close itself fails.
LinkStatus CloseLink();

// Writes the waiting bytes in one driver call. Empty buffer: 0 without a driver call.
// A failed or short write still empties the buffer (the bytes are dropped).
LinkStatus FlushLink();

// Appends the low 8 bits of value; -1 requests a flush. The append that fills the
// buffer writes it at once.
LinkStatus PutByte(int value);

// Appends count bytes, writing each time the buffer fills; 0 requests a flush.
LinkStatus PutBytes(const std::uint8_t* bytes, int count);

// Flushes, then reads count bytes within the driver's read time-out. The bytes that did
// arrive are in destination also when the result is 2.
LinkStatus ReadBytes(std::uint8_t* destination, int count);

LinkStatus SetLinkTimeouts(std::uint32_t readMs, std::uint32_t writeMs);

// Drives data line D7 low for a while in bit-bang mode, then returns to the normal mode.
// Refused (1, no driver call) on a failed link. The out buffer is not touched.
LinkStatus RecoverAdapter();

// Writes the 6 line-idle bytes in one driver call, bypassing the out buffer.
// Refused (1, no driver call) on a failed link.
LinkStatus SendLineIdle();

// Closes the held device without sending anything and without recording the close in
// lastStatus, so lastStatus keeps the status of the call that failed. Used on the failure
// paths of opening and attaching, so that the device can be opened again by the next
// attempt. Does nothing when no device is held.
void AbandonLink();

}  // namespace tarnel
