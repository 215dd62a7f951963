#pragma once
// The USB driver's function interface, with the driver API's own names and shapes.
// Each function forwards to the one installed DriverBackend.

#include <cstddef>
#include <cstdint>

using FT_STATUS = std::uint32_t;
using FT_HANDLE = std::uintptr_t;
using FT_DEVICE = std::uint32_t;

// Status values, in the driver's public numbering.
enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_NOT_SUPPORTED = 17,
    FT_OTHER_ERROR = 18,
};

// A handle with all bits set names no device.
inline constexpr FT_HANDLE kNoDevice = ~FT_HANDLE{0};

inline constexpr std::uint32_t FT_LIST_NUMBER_ONLY = 0x80000000u;
inline constexpr std::uint32_t FT_PURGE_RX = 1;
inline constexpr std::uint32_t FT_PURGE_TX = 2;
// FT_GetDeviceInfoDetail: the device is open.
inline constexpr std::uint32_t FT_FLAGS_OPENED = 1;
// Buffer sizes of FT_GetDeviceInfoDetail's serial number and description.
inline constexpr std::size_t kSerialSize = 16;
inline constexpr std::size_t kDescriptionSize = 64;

FT_STATUS FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags);
FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle);
FT_STATUS FT_GetDeviceInfo(FT_HANDLE handle, FT_DEVICE* type, std::uint32_t* id, char* serial,
                           char* description, void* reserved);
FT_STATUS FT_Close(FT_HANDLE handle);
FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, unsigned char latencyMs);
FT_STATUS FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readMs, std::uint32_t writeMs);
FT_STATUS FT_Purge(FT_HANDLE handle, std::uint32_t mask);
FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                   std::uint32_t* written);
FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count, std::uint32_t* got);
FT_STATUS FT_SetBitMode(FT_HANDLE handle, unsigned char mask, unsigned char mode);
FT_STATUS FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud);
FT_STATUS FT_CreateDeviceInfoList(std::uint32_t* count);
FT_STATUS FT_GetDeviceInfoDetail(std::uint32_t index, std::uint32_t* flags, FT_DEVICE* type,
                                 std::uint32_t* id, std::uint32_t* location, char* serial,
                                 char* description, FT_HANDLE* handle);
