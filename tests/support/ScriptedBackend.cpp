#include "support/ScriptedBackend.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/Sleep.h"

namespace tarnel::test {

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    return Hex(bytes.data(), bytes.size());
}

void ScriptedBackend::QueueRead(std::vector<std::uint8_t> bytes, FT_STATUS status) {
    reads_.push_back(ScriptedRead{std::move(bytes), status});
}

void ScriptedBackend::FailNth(Call call, int n, FT_STATUS status) {
    failures_[{call, n}] = status;
}

void ScriptedBackend::ShortWriteNth(int n, std::uint32_t missing) {
    shortWrites_[n] = missing;
}

int ScriptedBackend::CountOf(Call call) const {
    const auto it = counts_.find(call);
    return it == counts_.end() ? 0 : it->second;
}

bool ScriptedBackend::IsOpen(FT_HANDLE handle) const {
    if (handle < kHandleBase) {
        return false;
    }
    const FT_HANDLE index = handle - kHandleBase;
    return index < open_.size() && open_[index];
}

std::string ScriptedBackend::SerialOf(std::size_t index) {
    return "S" + std::to_string(index);
}

void ScriptedBackend::ClearLog() {
    log_.clear();
    writes_.clear();
}

FT_STATUS ScriptedBackend::Begin(Call call, std::string line, FT_HANDLE handle, bool needsHandle) {
    log_.push_back(std::move(line));
    const int n = ++counts_[call];
    if (const auto it = failures_.find({call, n}); it != failures_.end()) {
        return it->second;
    }
    if (needsHandle && !IsOpen(handle)) {
        return FT_INVALID_HANDLE;
    }
    return FT_OK;
}

FT_STATUS ScriptedBackend::ListDevices(void* arg1, void* /*arg2*/, std::uint32_t flags) {
    FT_STATUS status = Begin(Call::ListDevices, "FT_ListDevices", 0, false);
    if (status == FT_OK) {
        status = listStatus;
    }
    if (status != FT_OK) {
        return status;
    }
    if (flags != FT_LIST_NUMBER_ONLY || arg1 == nullptr) {
        return FT_INVALID_PARAMETER;
    }
    const auto count = static_cast<std::uint32_t>(devices.size());
    std::memcpy(arg1, &count, sizeof count);
    return FT_OK;
}

FT_STATUS ScriptedBackend::Open(int deviceNumber, FT_HANDLE* handle) {
    FT_STATUS status = Begin(Call::Open, "FT_Open " + std::to_string(deviceNumber), 0, false);
    if (status != FT_OK) {
        return status;
    }
    if (deviceNumber < 0 || static_cast<std::size_t>(deviceNumber) >= devices.size()) {
        return FT_DEVICE_NOT_FOUND;
    }
    const auto index = static_cast<std::size_t>(deviceNumber);
    if (devices[index].openStatus != FT_OK) {
        return devices[index].openStatus;
    }
    open_.resize(devices.size(), false);
    if (open_[index]) {
        return FT_DEVICE_NOT_OPENED;  // the driver refuses a second open
    }
    open_[index] = true;
    *handle = kHandleBase + index;
    return FT_OK;
}

FT_STATUS ScriptedBackend::GetDeviceInfo(FT_HANDLE handle, FT_DEVICE* type, std::uint32_t* id,
                                         char* serial, char* description, void* /*reserved*/) {
    FT_STATUS status = Begin(Call::GetDeviceInfo, "FT_GetDeviceInfo", handle);
    if (status != FT_OK) {
        return status;
    }
    const ScriptedDevice& device = devices[handle - kHandleBase];
    if (device.infoStatus != FT_OK) {
        return device.infoStatus;
    }
    if (type != nullptr) {
        *type = 0;
    }
    if (id != nullptr) {
        *id = device.id;
    }
    if (serial != nullptr) {
        std::snprintf(serial, 64, "%s", SerialOf(handle - kHandleBase).c_str());
    }
    if (description != nullptr) {
        std::snprintf(description, 64, "scripted");
    }
    return FT_OK;
}

FT_STATUS ScriptedBackend::Close(FT_HANDLE handle) {
    FT_STATUS status = Begin(Call::Close, "FT_Close", handle);
    if (status == FT_OK) {
        open_[handle - kHandleBase] = false;
    }
    return status;
}

FT_STATUS ScriptedBackend::SetLatencyTimer(FT_HANDLE handle, unsigned char latencyMs) {
    return Begin(Call::SetLatencyTimer, "FT_SetLatencyTimer " + std::to_string(latencyMs), handle);
}

FT_STATUS ScriptedBackend::SetTimeouts(FT_HANDLE handle, std::uint32_t readMs,
                                       std::uint32_t writeMs) {
    FT_STATUS status =
        Begin(Call::SetTimeouts,
              "FT_SetTimeouts " + std::to_string(readMs) + " " + std::to_string(writeMs), handle);
    if (status == FT_OK) {
        readTimeoutMs_ = readMs;
        writeTimeoutMs_ = writeMs;
    }
    return status;
}

FT_STATUS ScriptedBackend::Purge(FT_HANDLE handle, std::uint32_t mask) {
    return Begin(Call::Purge, "FT_Purge " + std::to_string(mask), handle);
}

FT_STATUS ScriptedBackend::Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                                 std::uint32_t* written) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    writes_.emplace_back(bytes, bytes + count);
    FT_STATUS status = Begin(Call::Write, "FT_Write " + Hex(bytes, count), handle);
    std::uint32_t done = 0;
    if (status == FT_OK) {
        done = count;
        if (const auto it = shortWrites_.find(CountOf(Call::Write)); it != shortWrites_.end()) {
            done = count - std::min(count, it->second);
        }
    }
    if (written != nullptr) {
        *written = done;
    }
    return status;
}

FT_STATUS ScriptedBackend::Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                                std::uint32_t* got) {
    FT_STATUS status = Begin(Call::Read, "FT_Read " + std::to_string(count), handle);
    std::uint32_t delivered = 0;
    if (status == FT_OK && !reads_.empty()) {
        ScriptedRead answer = std::move(reads_.front());
        reads_.pop_front();
        status = answer.status;
        if (status == FT_OK) {
            delivered = std::min(count, static_cast<std::uint32_t>(answer.bytes.size()));
            if (delivered > 0) {
                std::memcpy(buffer, answer.bytes.data(), delivered);
            }
        }
    }
    if (got != nullptr) {
        *got = delivered;
    }
    return status;
}

FT_STATUS ScriptedBackend::SetBitMode(FT_HANDLE handle, unsigned char mask, unsigned char mode) {
    char line[48];
    std::snprintf(line, sizeof line, "FT_SetBitMode 0x%02X %u", mask, mode);
    return Begin(Call::SetBitMode, line, handle);
}

FT_STATUS ScriptedBackend::SetBaudRate(FT_HANDLE handle, std::uint32_t baud) {
    return Begin(Call::SetBaudRate, "FT_SetBaudRate " + std::to_string(baud), handle);
}

namespace {
ScriptedBackend& InstallFresh() {
    auto backend = std::make_unique<ScriptedBackend>();
    ScriptedBackend& ref = *backend;
    InstallDriverBackend(std::move(backend));
    return ref;
}
}  // namespace

ScriptedDriverScope::ScriptedDriverScope() : backend(InstallFresh()) {
    ScriptedBackend* target = &backend;
    SetSleepFunction([target](unsigned ms) { target->Note("Sleep " + std::to_string(ms)); });
}

ScriptedDriverScope::~ScriptedDriverScope() {
    SetSleepFunction({});
    InstallDriverBackend(nullptr);
}

FT_STATUS ScriptedBackend::CreateDeviceInfoList(std::uint32_t* count) {
    FT_STATUS status = Begin(Call::CreateDeviceInfoList, "FT_CreateDeviceInfoList", 0, false);
    if (status == FT_OK) {
        status = listStatus;
    }
    if (status != FT_OK) {
        return status;
    }
    if (count == nullptr) {
        return FT_INVALID_PARAMETER;
    }
    *count = static_cast<std::uint32_t>(devices.size());
    return FT_OK;
}

FT_STATUS ScriptedBackend::GetDeviceInfoDetail(std::uint32_t index, std::uint32_t* flags,
                                               FT_DEVICE* type, std::uint32_t* id,
                                               std::uint32_t* location, char* serial,
                                               char* description, FT_HANDLE* handle) {
    const FT_STATUS status = Begin(Call::GetDeviceInfoDetail,
                                   "FT_GetDeviceInfoDetail " + std::to_string(index), 0, false);
    if (status != FT_OK) {
        return status;
    }
    if (index >= devices.size()) {
        return FT_DEVICE_NOT_FOUND;
    }
    const bool opened = IsOpen(kHandleBase + index);
    if (flags != nullptr) {
        *flags = opened ? FT_FLAGS_OPENED : 0;
    }
    if (type != nullptr) {
        *type = 0;
    }
    if (id != nullptr) {
        *id = devices[index].id;
    }
    if (location != nullptr) {
        *location = index + 1;
    }
    if (serial != nullptr) {
        std::snprintf(serial, kSerialSize, "%s", SerialOf(index).c_str());
    }
    if (description != nullptr) {
        std::snprintf(description, kDescriptionSize, "scripted");
    }
    if (handle != nullptr) {
        *handle = opened ? kHandleBase + index : 0;
    }
    return FT_OK;
}

}  // namespace tarnel::test
