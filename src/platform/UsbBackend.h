#pragma once
// The driver backend for real adapters, over libftdi1 and libusb-1.0.
//
// Devices: every USB device with vendor ID 0x0403 is listed, whatever its product ID,
// ordered by bus number and port path (stable while nothing is plugged or unplugged).
// Indices passed to Open refer to that order. The device ID reported by GetDeviceInfo is
// vendor ID << 16 | product ID. Opening detaches the kernel's serial driver from the
// device, and closing puts it back, so the machine is left as it was found. A device that
// cannot be opened (no permission, busy) gives FT_DEVICE_NOT_OPENED.
//
// Reads: FT_Read blocks until the count has arrived or the read time-out expires, and then
// returns FT_OK with the bytes that did arrive (possibly none). A read time-out of 0 means
// no time-out: the read waits until the whole count has arrived, and ends early only with
// an error of the USB transfer (for example when the adapter is unplugged). A write
// time-out of 0 likewise means that a write waits until every byte has been sent.
//
// Writes: FT_Write reports the count actually written; after a failed USB transfer the
// count covers the chunks sent before it.
//
// Baud rate: the rate is the one the driver API means. In bit-bang mode the chip clocks
// the pins at a multiple of the rate; the rate is passed on so that the chip ends up with
// the same divisor the driver API would give it.

#include <memory>

#include "platform/DriverBackend.h"

namespace tarnel {

std::unique_ptr<DriverBackend> MakeUsbBackend();

}  // namespace tarnel
