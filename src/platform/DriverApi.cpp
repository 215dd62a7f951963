#include "platform/DriverApi.h"

#include <cstring>

#include "platform/DriverBackend.h"

namespace tarnel {
namespace {
std::unique_ptr<DriverBackend>& Slot() {
    static std::unique_ptr<DriverBackend> backend;
    return backend;
}
}  // namespace

void InstallDriverBackend(std::unique_ptr<DriverBackend> backend) {
    Slot() = std::move(backend);
}

DriverBackend* InstalledDriverBackend() {
    return Slot().get();
}

}  // namespace tarnel

using tarnel::InstalledDriverBackend;

FT_STATUS FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) {
    if (auto* b = InstalledDriverBackend()) {
        return b->ListDevices(arg1, arg2, flags);
    }
    if ((flags & FT_LIST_NUMBER_ONLY) != 0 && arg1 != nullptr) {
        const std::uint32_t none = 0;
        std::memcpy(arg1, &none, sizeof none);
        return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
}

FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) {
    auto* b = InstalledDriverBackend();
    return b ? b->Open(deviceNumber, handle) : FT_DEVICE_NOT_FOUND;
}

FT_STATUS FT_GetDeviceInfo(FT_HANDLE handle, FT_DEVICE* type, std::uint32_t* id, char* serial,
                           char* description, void* reserved) {
    auto* b = InstalledDriverBackend();
    return b ? b->GetDeviceInfo(handle, type, id, serial, description, reserved)
             : FT_DEVICE_NOT_FOUND;
}

FT_STATUS FT_Close(FT_HANDLE handle) {
    auto* b = InstalledDriverBackend();
    return b ? b->Close(handle) : FT_DEVICE_NOT_FOUND;
}

FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, unsigned char latencyMs) {
    auto* b = InstalledDriverBackend();
    return b ? b->SetLatencyTimer(handle, latencyMs) : FT_DEVICE_NOT_FOUND;
}

FT_STATUS FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readMs, std::uint32_t writeMs) {
    auto* b = InstalledDriverBackend();
    return b ? b->SetTimeouts(handle, readMs, writeMs) : FT_DEVICE_NOT_FOUND;
}

FT_STATUS FT_Purge(FT_HANDLE handle, std::uint32_t mask) {
    auto* b = InstalledDriverBackend();
    return b ? b->Purge(handle, mask) : FT_DEVICE_NOT_FOUND;
}

FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                   std::uint32_t* written) {
    auto* b = InstalledDriverBackend();
    return b ? b->Write(handle, buffer, count, written) : FT_DEVICE_NOT_FOUND;
}

FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count, std::uint32_t* got) {
    auto* b = InstalledDriverBackend();
    return b ? b->Read(handle, buffer, count, got) : FT_DEVICE_NOT_FOUND;
}

FT_STATUS FT_SetBitMode(FT_HANDLE handle, unsigned char mask, unsigned char mode) {
    auto* b = InstalledDriverBackend();
    return b ? b->SetBitMode(handle, mask, mode) : FT_DEVICE_NOT_FOUND;
}

FT_STATUS FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud) {
    auto* b = InstalledDriverBackend();
    return b ? b->SetBaudRate(handle, baud) : FT_DEVICE_NOT_FOUND;
}

FT_STATUS FT_CreateDeviceInfoList(std::uint32_t* count) {
    if (auto* b = InstalledDriverBackend()) {
        return b->CreateDeviceInfoList(count);
    }
    if (count == nullptr) {
        return FT_INVALID_PARAMETER;
    }
    *count = 0;
    return FT_OK;
}

FT_STATUS FT_GetDeviceInfoDetail(std::uint32_t index, std::uint32_t* flags, FT_DEVICE* type,
                                 std::uint32_t* id, std::uint32_t* location, char* serial,
                                 char* description, FT_HANDLE* handle) {
    auto* b = InstalledDriverBackend();
    return b ? b->GetDeviceInfoDetail(index, flags, type, id, location, serial, description, handle)
             : FT_DEVICE_NOT_FOUND;
}
