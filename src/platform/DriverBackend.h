#pragma once
// The seam below the FT_* functions: one backend object answers every driver call.
// Backends: the USB backend (real adapters), the simulated adapter and target,
// and the scripted backend of the tests.

#include <memory>
#include <string>

#include "platform/DriverApi.h"

namespace tarnel {

class DriverBackend {
public:
    virtual ~DriverBackend() = default;

    // `flags` is FT_LIST_NUMBER_ONLY in every call the tool makes: arg1 then points to a
    // 32-bit count and arg2 is null.
    virtual FT_STATUS ListDevices(void* arg1, void* arg2, std::uint32_t flags) = 0;
    virtual FT_STATUS Open(int deviceNumber, FT_HANDLE* handle) = 0;
    virtual FT_STATUS GetDeviceInfo(FT_HANDLE handle, FT_DEVICE* type, std::uint32_t* id,
                                    char* serial, char* description, void* reserved) = 0;
    virtual FT_STATUS Close(FT_HANDLE handle) = 0;
    virtual FT_STATUS SetLatencyTimer(FT_HANDLE handle, unsigned char latencyMs) = 0;
    virtual FT_STATUS SetTimeouts(FT_HANDLE handle, std::uint32_t readMs,
                                  std::uint32_t writeMs) = 0;
    virtual FT_STATUS Purge(FT_HANDLE handle, std::uint32_t mask) = 0;
    virtual FT_STATUS Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                            std::uint32_t* written) = 0;
    virtual FT_STATUS Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                           std::uint32_t* got) = 0;
    virtual FT_STATUS SetBitMode(FT_HANDLE handle, unsigned char mask, unsigned char mode) = 0;
    virtual FT_STATUS SetBaudRate(FT_HANDLE handle, std::uint32_t baud) = 0;

    // The listing, as the driver gives it: CreateDeviceInfoList takes a snapshot of the
    // devices (the same ones, in the same order, as ListDevices and Open use) and reports
    // their number; GetDeviceInfoDetail describes entry `index` of that snapshot:
    // FT_FLAGS_OPENED in `flags` when the device is open (in this process or another),
    // its type, its ID (vendor << 16 | product), its location ID, its serial number (at
    // most 15 characters and a terminator, into a buffer of kSerialSize) and description
    // (kDescriptionSize), and its handle when this process has it open (else 0). Any
    // pointer may be null. An index beyond the snapshot gives FT_DEVICE_NOT_FOUND.
    virtual FT_STATUS CreateDeviceInfoList(std::uint32_t* count) = 0;
    virtual FT_STATUS GetDeviceInfoDetail(std::uint32_t index, std::uint32_t* flags,
                                          FT_DEVICE* type, std::uint32_t* id,
                                          std::uint32_t* location, char* serial, char* description,
                                          FT_HANDLE* handle) = 0;

    // Why the last listing or Open failed, in one line and the driver's own words (the
    // USB library that cannot start, the adapter that another program holds); empty when
    // the last one succeeded or the backend cannot tell.
    virtual std::string FailureReason() const { return {}; }
};

// Installs the backend that every FT_* call goes to, replacing (and destroying) the one
// installed before. Passing null uninstalls; with no backend every call answers
// FT_DEVICE_NOT_FOUND (ListDevices reports zero devices).
void InstallDriverBackend(std::unique_ptr<DriverBackend> backend);

// The installed backend, or null.
DriverBackend* InstalledDriverBackend();

}  // namespace tarnel
