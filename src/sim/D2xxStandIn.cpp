// The stand-in D2XX library: the driver library's functions under their own names and
// binary interface, answered by the simulated adapter and target that TARNEL_SIM_FLASH,
// TARNEL_SIM_TRACE and TARNEL_SIM_FAULTS configure (as for tarnel-sim). Built as
// libftd2xx.so and ftd2xx.dll, so that the D2XX backend runs without the vendor's library
// or an adapter.

#include <cstdint>
#include <memory>

#include "platform/D2xxAbi.h"
#include "platform/DriverBackend.h"
#include "sim/SimEnvironment.h"

#ifdef _WIN32
#define TARNEL_STAND_IN_EXPORT __declspec(dllexport)
#else
#define TARNEL_STAND_IN_EXPORT __attribute__((visibility("default")))
#endif

// The exports carry the library's plain names; in C++ those names are the tool's own
// driver functions, so each export is declared under another name with its symbol given.
namespace {
using tarnel::d2xx::Dword;
using tarnel::d2xx::Handle;
}  // namespace

TARNEL_STAND_IN_EXPORT Dword TARNEL_D2XX_API
StandListDevices(void* arg1, void* arg2, Dword flags) __asm__("FT_ListDevices");
TARNEL_STAND_IN_EXPORT Dword TARNEL_D2XX_API StandOpen(int deviceNumber,
                                                       Handle* handle) __asm__("FT_Open");
TARNEL_STAND_IN_EXPORT Dword TARNEL_D2XX_API
StandGetDeviceInfo(Handle handle, Dword* type, Dword* id, char* serial, char* description,
                   void* reserved) __asm__("FT_GetDeviceInfo");
TARNEL_STAND_IN_EXPORT Dword TARNEL_D2XX_API StandClose(Handle handle) __asm__("FT_Close");
TARNEL_STAND_IN_EXPORT Dword TARNEL_D2XX_API
StandSetLatencyTimer(Handle handle, unsigned char latencyMs) __asm__("FT_SetLatencyTimer");
TARNEL_STAND_IN_EXPORT Dword TARNEL_D2XX_API
StandSetTimeouts(Handle handle, Dword readMs, Dword writeMs) __asm__("FT_SetTimeouts");
TARNEL_STAND_IN_EXPORT Dword TARNEL_D2XX_API StandPurge(Handle handle,
                                                        Dword mask) __asm__("FT_Purge");
TARNEL_STAND_IN_EXPORT Dword TARNEL_D2XX_API StandWrite(Handle handle, void* buffer, Dword count,
                                                        Dword* written) __asm__("FT_Write");
TARNEL_STAND_IN_EXPORT Dword TARNEL_D2XX_API StandRead(Handle handle, void* buffer, Dword count,
                                                       Dword* got) __asm__("FT_Read");
TARNEL_STAND_IN_EXPORT Dword TARNEL_D2XX_API
StandSetBitMode(Handle handle, unsigned char mask, unsigned char mode) __asm__("FT_SetBitMode");
TARNEL_STAND_IN_EXPORT Dword TARNEL_D2XX_API StandSetBaudRate(Handle handle,
                                                              Dword baud) __asm__("FT_SetBaudRate");
TARNEL_STAND_IN_EXPORT Dword TARNEL_D2XX_API
StandCreateDeviceInfoList(Dword* count) __asm__("FT_CreateDeviceInfoList");
TARNEL_STAND_IN_EXPORT Dword TARNEL_D2XX_API StandGetDeviceInfoDetail(
    Dword index, Dword* flags, Dword* type, Dword* id, Dword* location, void* serial,
    void* description, Handle* handle) __asm__("FT_GetDeviceInfoDetail");

namespace {

// Made at the first call; destroyed when the library is unloaded, which writes the flash
// file if the adapter is still open.
tarnel::DriverBackend& Backend() {
    static const std::unique_ptr<tarnel::DriverBackend> backend =
        tarnel::MakeSimulatedBackendFromEnvironment();
    return *backend;
}

FT_HANDLE Ours(Handle handle) {
    return reinterpret_cast<FT_HANDLE>(handle);
}

// The driver's handles are pointers; the simulator's are numbers.
Handle Theirs(FT_HANDLE handle) {
    return reinterpret_cast<Handle>(handle);  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace

Dword TARNEL_D2XX_API StandListDevices(void* arg1, void* arg2, Dword flags) {
    return Backend().ListDevices(arg1, arg2, flags);
}

Dword TARNEL_D2XX_API StandOpen(int deviceNumber, Handle* handle) {
    FT_HANDLE opened = 0;
    const Dword status = Backend().Open(deviceNumber, handle != nullptr ? &opened : nullptr);
    if (status == FT_OK && handle != nullptr) {
        *handle = Theirs(opened);
    }
    return status;
}

Dword TARNEL_D2XX_API StandGetDeviceInfo(Handle handle, Dword* type, Dword* id, char* serial,
                                         char* description, void* reserved) {
    return Backend().GetDeviceInfo(Ours(handle), type, id, serial, description, reserved);
}

Dword TARNEL_D2XX_API StandClose(Handle handle) {
    return Backend().Close(Ours(handle));
}

Dword TARNEL_D2XX_API StandSetLatencyTimer(Handle handle, unsigned char latencyMs) {
    return Backend().SetLatencyTimer(Ours(handle), latencyMs);
}

Dword TARNEL_D2XX_API StandSetTimeouts(Handle handle, Dword readMs, Dword writeMs) {
    return Backend().SetTimeouts(Ours(handle), readMs, writeMs);
}

Dword TARNEL_D2XX_API StandPurge(Handle handle, Dword mask) {
    return Backend().Purge(Ours(handle), mask);
}

Dword TARNEL_D2XX_API StandWrite(Handle handle, void* buffer, Dword count, Dword* written) {
    return Backend().Write(Ours(handle), buffer, count, written);
}

Dword TARNEL_D2XX_API StandRead(Handle handle, void* buffer, Dword count, Dword* got) {
    return Backend().Read(Ours(handle), buffer, count, got);
}

Dword TARNEL_D2XX_API StandSetBitMode(Handle handle, unsigned char mask, unsigned char mode) {
    return Backend().SetBitMode(Ours(handle), mask, mode);
}

Dword TARNEL_D2XX_API StandSetBaudRate(Handle handle, Dword baud) {
    return Backend().SetBaudRate(Ours(handle), baud);
}

Dword TARNEL_D2XX_API StandCreateDeviceInfoList(Dword* count) {
    return Backend().CreateDeviceInfoList(count);
}

Dword TARNEL_D2XX_API StandGetDeviceInfoDetail(Dword index, Dword* flags, Dword* type, Dword* id,
                                               Dword* location, void* serial, void* description,
                                               Handle* handle) {
    FT_HANDLE opened = 0;
    const Dword status =
        Backend().GetDeviceInfoDetail(index, flags, type, id, location, static_cast<char*>(serial),
                                      static_cast<char*>(description), &opened);
    if (status == FT_OK && handle != nullptr) {
        *handle = Theirs(opened);
    }
    return status;
}
