#include "sim/SimulatedBackend.h"

#include <csignal>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>

#include "sim/FlashFile.h"
#include "sim/Hex.h"

namespace tarnel::sim {
namespace {

constexpr FT_DEVICE kDeviceType = 5;
// Location IDs: bus 1, port 1, 2, ... in list order.
constexpr std::uint32_t kFirstLocation = 0x11;
constexpr char kAdapterSerial[] = "SIM00001";
constexpr char kForeignSerial[] = "SIM00002";
constexpr char kAdapterDescription[] = "Simulated programming adapter";
constexpr char kForeignDescription[] = "Simulated serial converter";

void CopyText(char* dest, const char* text) {
    if (dest != nullptr) {
        // The caller's buffers hold 64 bytes.
        std::snprintf(dest, 64, "%s", text);
    }
}

}  // namespace

SimulatedBackend::SimulatedBackend(SimConfig config)
    : config_(std::move(config)),
      trace_(config_.tracePath),
      target_(config_.faults, log_),
      adapter_(config_.faults, log_, target_) {
    if (!config_.tracePath.empty() && !trace_.Enabled()) {
        std::fprintf(stderr, "simulator: cannot open the wire trace %s\n",
                     config_.tracePath.c_str());
    }
    const Faults& f = config_.faults;
    if (f.noAdapter) {
        return;
    }
    if (f.openFails) {
        devices_.push_back({kForeignId, false, false});
    }
    if (f.foreignFirst) {
        devices_.push_back({kForeignId, true, false});
    }
    devices_.push_back({kAdapterId, true, true});
}

SimulatedBackend::~SimulatedBackend() {
    if (AdapterOpen()) {
        SaveFlash();
    }
    for (const std::string& note : notes_) {
        trace_.Comment("simulator: " + note);
    }
}

bool SimulatedBackend::AdapterOpen() const {
    return std::any_of(open_.begin(), open_.end(),
                       [this](const auto& entry) { return devices_[entry.second].adapter; });
}

void SimulatedBackend::TraceLine(const std::string& line) {
    trace_.Line(line);
}

void SimulatedBackend::TraceNotes() {
    for (const std::string& note : notes_) {
        trace_.Comment("simulator: " + note);
    }
    notes_.clear();
    for (const std::string& message : log_.TakeNew()) {
        trace_.Comment("protocol error: " + message);
    }
}

const SimulatedBackend::Device* SimulatedBackend::Find(FT_HANDLE handle, const char* call) {
    const auto it = open_.find(handle);
    if (it == open_.end()) {
        log_.Report(std::string(call) + " with a handle that is not open");
        return nullptr;
    }
    return &devices_[it->second];
}

void SimulatedBackend::LoadFlash() {
    if (config_.flashPath.empty()) {
        return;
    }
    switch (LoadFlashFile(config_.flashPath, target_.Flash())) {
        case FlashLoad::OutOfRange:
            notes_.push_back("the flash file names words beyond the flash; they are ignored");
            break;
        case FlashLoad::Unreadable:
            notes_.push_back("the flash file cannot be read; the flash is left as it was");
            std::fprintf(stderr, "simulator: cannot read the flash file %s\n",
                         config_.flashPath.c_str());
            break;
        case FlashLoad::Missing:
        case FlashLoad::Loaded:
            break;
    }
}

void SimulatedBackend::SaveFlash() {
    if (!config_.flashPath.empty() && !SaveFlashFile(config_.flashPath, target_.Flash())) {
        notes_.push_back("the flash file cannot be written");
        std::fprintf(stderr, "simulator: cannot write the flash file %s\n",
                     config_.flashPath.c_str());
    }
}

FT_STATUS SimulatedBackend::ListDevices(void* arg1, void* /*arg2*/, std::uint32_t flags) {
    FT_STATUS status = FT_OK;
    const auto count = static_cast<std::uint32_t>(devices_.size());
    if (flags != FT_LIST_NUMBER_ONLY) {
        log_.Report("FT_ListDevices with flags " + Hex32(flags) + " (only the count is asked)");
        status = FT_NOT_SUPPORTED;
    } else if (arg1 == nullptr) {
        log_.Report("FT_ListDevices without a place for the count");
        status = FT_INVALID_PARAMETER;
    } else {
        std::memcpy(arg1, &count, sizeof count);
    }
    Traced([&] { return FormatListDevices(status, status == FT_OK ? count : 0); });
    return status;
}

FT_STATUS SimulatedBackend::Open(int deviceNumber, FT_HANDLE* handle) {
    FT_STATUS status = FT_OK;
    const bool listed =
        deviceNumber >= 0 && static_cast<std::size_t>(deviceNumber) < devices_.size();
    const auto index = static_cast<std::size_t>(deviceNumber);
    const bool alreadyOpen =
        listed && std::any_of(open_.begin(), open_.end(),
                              [index](const auto& entry) { return entry.second == index; });
    if (handle == nullptr) {
        log_.Report("FT_Open without a place for the handle");
        status = FT_INVALID_PARAMETER;
    } else if (!listed) {
        status = FT_DEVICE_NOT_FOUND;
    } else if (!devices_[index].opens || alreadyOpen) {
        status = FT_DEVICE_NOT_OPENED;
    } else {
        *handle = nextHandle_++;
        open_[*handle] = index;
        if (devices_[index].adapter) {
            LoadFlash();
            adapter_.Opened();
            readTimeoutMs_ = 0;
        }
    }
    Traced([&] { return FormatOpen(deviceNumber, status); });
    return status;
}

FT_STATUS SimulatedBackend::GetDeviceInfo(FT_HANDLE handle, FT_DEVICE* type, std::uint32_t* id,
                                          char* serial, char* description, void* /*reserved*/) {
    const Device* device = Find(handle, "FT_GetDeviceInfo");
    FT_STATUS status = FT_OK;
    std::uint32_t deviceId = 0;
    if (device == nullptr) {
        status = FT_INVALID_HANDLE;
    } else {
        deviceId = device->id;
        if (type != nullptr) {
            *type = kDeviceType;
        }
        if (id != nullptr) {
            *id = deviceId;
        }
        CopyText(serial, device->adapter ? kAdapterSerial : kForeignSerial);
        CopyText(description, device->adapter ? kAdapterDescription : kForeignDescription);
    }
    Traced([&] { return FormatGetDeviceInfo(status, deviceId); });
    return status;
}

FT_STATUS SimulatedBackend::Close(FT_HANDLE handle) {
    const Device* device = Find(handle, "FT_Close");
    FT_STATUS status = FT_INVALID_HANDLE;
    if (device != nullptr) {
        status = FT_OK;
        open_.erase(handle);
        if (device->adapter) {
            adapter_.Closed();
            SaveFlash();
        }
    }
    Traced([&] { return FormatClose(status); });
    return status;
}

FT_STATUS SimulatedBackend::SetLatencyTimer(FT_HANDLE handle, unsigned char latencyMs) {
    const Device* device = Find(handle, "FT_SetLatencyTimer");
    if (device != nullptr && device->adapter && latencyMs != 1) {
        log_.Report("latency timer " + std::to_string(latencyMs) + " ms (1 ms expected)");
    }
    const FT_STATUS status = device != nullptr ? FT_OK : FT_INVALID_HANDLE;
    Traced([&] { return FormatSetLatencyTimer(latencyMs, status); });
    return status;
}

FT_STATUS SimulatedBackend::SetTimeouts(FT_HANDLE handle, std::uint32_t readMs,
                                        std::uint32_t writeMs) {
    const Device* device = Find(handle, "FT_SetTimeouts");
    if (device != nullptr && device->adapter) {
        readTimeoutMs_ = readMs;
    }
    const FT_STATUS status = device != nullptr ? FT_OK : FT_INVALID_HANDLE;
    Traced([&] { return FormatSetTimeouts(readMs, writeMs, status); });
    return status;
}

FT_STATUS SimulatedBackend::Purge(FT_HANDLE handle, std::uint32_t mask) {
    const Device* device = Find(handle, "FT_Purge");
    if (device != nullptr && device->adapter) {
        if (mask != (FT_PURGE_RX | FT_PURGE_TX)) {
            log_.Report("purge mask " + std::to_string(mask) + " (3 expected)");
        }
        if ((mask & FT_PURGE_RX) != 0) {
            adapter_.PurgeAnswers();
        }
    }
    const FT_STATUS status = device != nullptr ? FT_OK : FT_INVALID_HANDLE;
    Traced([&] { return FormatPurge(mask, status); });
    return status;
}

FT_STATUS SimulatedBackend::Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                                  std::uint32_t* written) {
    ++writeCalls_;
    const Device* device = Find(handle, "FT_Write");
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const std::span<const std::uint8_t> asked(bytes, bytes != nullptr ? count : 0);
    FT_STATUS status = FT_OK;
    std::uint32_t done = 0;
    if (device == nullptr) {
        status = FT_INVALID_HANDLE;
    } else if ((buffer == nullptr && count > 0) || written == nullptr) {
        log_.Report("FT_Write with a null buffer or count pointer");
        status = FT_INVALID_PARAMETER;
    } else if (writeCalls_ == config_.faults.writeError) {
        status = FT_IO_ERROR;
    } else {
        done = count;
        if (writeCalls_ == config_.faults.shortWrite && done > 0) {
            --done;
        }
        if (device->adapter) {
            adapter_.Write(asked.first(done));
        } else if (done > 0) {
            log_.Report("bytes written to a device that is not the adapter");
        }
    }
    if (written != nullptr) {
        *written = done;
    }
    Traced([&] { return FormatWrite(asked, status, done); });
    return status;
}

FT_STATUS SimulatedBackend::Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                                 std::uint32_t* got) {
    ++readCalls_;
    const Device* device = Find(handle, "FT_Read");
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    FT_STATUS status = FT_OK;
    std::uint32_t received = 0;
    if (device == nullptr) {
        status = FT_INVALID_HANDLE;
    } else if ((buffer == nullptr && count > 0) || got == nullptr) {
        log_.Report("FT_Read with a null buffer or count pointer");
        status = FT_INVALID_PARAMETER;
    } else if (readCalls_ == config_.faults.readError) {
        status = FT_IO_ERROR;
    } else if (!device->adapter) {
        log_.Report("read from a device that is not the adapter");
    } else {
        const bool shortened = readCalls_ == config_.faults.shortRead && count > 0;
        const std::uint32_t limit = shortened ? count - 1 : count;
        received = static_cast<std::uint32_t>(adapter_.Read({bytes, limit}));
        if (received < count && !shortened && readTimeoutMs_ == 0) {
            log_.Report("read of " + std::to_string(count) + " bytes with " +
                        std::to_string(received) +
                        " to come and a read time-out of 0 would wait for ever");
        }
    }
    if (got != nullptr) {
        *got = received;
    }
    Traced([&] { return FormatRead(count, status, {bytes, received}); });
    if (readCalls_ == config_.faults.stopSignalAt) {
        std::raise(config_.faults.stopSignal);
    }
    return status;
}

FT_STATUS SimulatedBackend::SetBitMode(FT_HANDLE handle, unsigned char mask, unsigned char mode) {
    const Device* device = Find(handle, "FT_SetBitMode");
    if (device != nullptr && device->adapter) {
        adapter_.SetBitMode(mask, mode);
    }
    const FT_STATUS status = device != nullptr ? FT_OK : FT_INVALID_HANDLE;
    Traced([&] { return FormatSetBitMode(mask, mode, status); });
    return status;
}

FT_STATUS SimulatedBackend::SetBaudRate(FT_HANDLE handle, std::uint32_t baud) {
    const Device* device = Find(handle, "FT_SetBaudRate");
    if (device != nullptr && device->adapter) {
        adapter_.SetBaudRate(baud);
    }
    const FT_STATUS status = device != nullptr ? FT_OK : FT_INVALID_HANDLE;
    Traced([&] { return FormatSetBaudRate(baud, status); });
    return status;
}

FT_STATUS SimulatedBackend::CreateDeviceInfoList(std::uint32_t* count) {
    FT_STATUS status = FT_OK;
    const auto listed = static_cast<std::uint32_t>(devices_.size());
    if (count == nullptr) {
        log_.Report("FT_CreateDeviceInfoList without a place for the count");
        status = FT_INVALID_PARAMETER;
    } else {
        *count = listed;
    }
    Traced([&] { return FormatCreateDeviceInfoList(status, status == FT_OK ? listed : 0); });
    return status;
}

FT_STATUS SimulatedBackend::GetDeviceInfoDetail(std::uint32_t index, std::uint32_t* flags,
                                                FT_DEVICE* type, std::uint32_t* id,
                                                std::uint32_t* location, char* serial,
                                                char* description, FT_HANDLE* handle) {
    FT_STATUS status = FT_DEVICE_NOT_FOUND;
    std::uint32_t openFlags = 0;
    std::uint32_t deviceId = 0;
    std::uint32_t where = 0;
    if (index < devices_.size()) {
        status = FT_OK;
        const Device& device = devices_[index];
        const auto holder = std::find_if(open_.begin(), open_.end(), [index](const auto& entry) {
            return entry.second == index;
        });
        openFlags = holder != open_.end() ? FT_FLAGS_OPENED : 0;
        deviceId = device.id;
        where = kFirstLocation + index;
        if (flags != nullptr) {
            *flags = openFlags;
        }
        if (type != nullptr) {
            *type = kDeviceType;
        }
        if (id != nullptr) {
            *id = deviceId;
        }
        if (location != nullptr) {
            *location = where;
        }
        if (serial != nullptr) {
            std::snprintf(serial, kSerialSize, "%s",
                          device.adapter ? kAdapterSerial : kForeignSerial);
        }
        if (description != nullptr) {
            std::snprintf(description, kDescriptionSize, "%s",
                          device.adapter ? kAdapterDescription : kForeignDescription);
        }
        if (handle != nullptr) {
            *handle = holder != open_.end() ? holder->first : 0;
        }
    }
    Traced([&] { return FormatGetDeviceInfoDetail(index, status, openFlags, deviceId, where); });
    return status;
}

}  // namespace tarnel::sim
