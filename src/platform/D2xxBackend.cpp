#include "platform/D2xxBackend.h"

#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/AdapterSelection.h"
#include "platform/D2xxAbi.h"
#include "platform/DynamicLibrary.h"

namespace tarnel {
namespace {

constexpr std::uint32_t kAdapterId = 0x0403F1A0u;

// The driver's handles are pointers; the seam carries them as numbers.
d2xx::Handle ToDriver(FT_HANDLE handle) {
    return reinterpret_cast<d2xx::Handle>(handle);  // NOLINT(performance-no-int-to-ptr)
}

FT_HANDLE FromDriver(d2xx::Handle handle) {
    return reinterpret_cast<FT_HANDLE>(handle);
}

template <typename Pointer>
bool Bind(const DynamicLibrary& library, const char* name, Pointer& slot, std::string& missing) {
    const DynamicLibrary::Function found = library.Find(name);
    if (found == nullptr) {
        missing = name;
        return false;
    }
    slot = reinterpret_cast<Pointer>(found);
    return true;
}

// Every function, or the name of the first one missing.
std::string BindAll(const DynamicLibrary& library, d2xx::Functions& f) {
    std::string missing;
    (void)(Bind(library, "FT_ListDevices", f.ListDevices, missing) &&
           Bind(library, "FT_Open", f.Open, missing) &&
           Bind(library, "FT_GetDeviceInfo", f.GetDeviceInfo, missing) &&
           Bind(library, "FT_Close", f.Close, missing) &&
           Bind(library, "FT_SetLatencyTimer", f.SetLatencyTimer, missing) &&
           Bind(library, "FT_SetTimeouts", f.SetTimeouts, missing) &&
           Bind(library, "FT_Purge", f.Purge, missing) &&
           Bind(library, "FT_Write", f.Write, missing) &&
           Bind(library, "FT_Read", f.Read, missing) &&
           Bind(library, "FT_SetBitMode", f.SetBitMode, missing) &&
           Bind(library, "FT_SetBaudRate", f.SetBaudRate, missing) &&
           Bind(library, "FT_CreateDeviceInfoList", f.CreateDeviceInfoList, missing) &&
           Bind(library, "FT_GetDeviceInfoDetail", f.GetDeviceInfoDetail, missing));
    return missing;
}

class D2xxBackend final : public DriverBackend {
public:
    D2xxBackend(DynamicLibrary library, const d2xx::Functions& functions)
        : library_(std::move(library)), f_(functions) {}

    FT_STATUS ListDevices(void* arg1, void* /*arg2*/, std::uint32_t flags) override {
        if (flags != FT_LIST_NUMBER_ONLY) {
            return FT_NOT_SUPPORTED;
        }
        if (arg1 == nullptr) {
            return FT_INVALID_PARAMETER;
        }
        std::uint32_t count = 0;
        const FT_STATUS status = CreateDeviceInfoList(&count);
        if (status == FT_OK) {
            std::memcpy(arg1, &count, sizeof count);
        }
        return status;
    }

    FT_STATUS Open(int deviceNumber, FT_HANDLE* handle) override {
        if (handle == nullptr) {
            return FT_INVALID_PARAMETER;
        }
        if (deviceNumber < 0 || static_cast<std::size_t>(deviceNumber) >= order_.size()) {
            return FT_DEVICE_NOT_FOUND;
        }
        d2xx::Handle opened = nullptr;
        const FT_STATUS status =
            f_.Open(static_cast<int>(order_[static_cast<std::size_t>(deviceNumber)]), &opened);
        if (status == FT_OK) {
            *handle = FromDriver(opened);
        }
        return status;
    }

    FT_STATUS GetDeviceInfo(FT_HANDLE handle, FT_DEVICE* type, std::uint32_t* id, char* serial,
                            char* description, void* reserved) override {
        return f_.GetDeviceInfo(ToDriver(handle), type, id, serial, description, reserved);
    }

    FT_STATUS Close(FT_HANDLE handle) override { return f_.Close(ToDriver(handle)); }

    FT_STATUS SetLatencyTimer(FT_HANDLE handle, unsigned char latencyMs) override {
        return f_.SetLatencyTimer(ToDriver(handle), latencyMs);
    }

    FT_STATUS SetTimeouts(FT_HANDLE handle, std::uint32_t readMs, std::uint32_t writeMs) override {
        return f_.SetTimeouts(ToDriver(handle), readMs, writeMs);
    }

    FT_STATUS Purge(FT_HANDLE handle, std::uint32_t mask) override {
        return f_.Purge(ToDriver(handle), mask);
    }

    FT_STATUS Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                    std::uint32_t* written) override {
        // The library's declaration lacks const; it does not write to the buffer.
        return f_.Write(ToDriver(handle), const_cast<void*>(buffer), count, written);
    }

    FT_STATUS Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                   std::uint32_t* got) override {
        return f_.Read(ToDriver(handle), buffer, count, got);
    }

    FT_STATUS SetBitMode(FT_HANDLE handle, unsigned char mask, unsigned char mode) override {
        return f_.SetBitMode(ToDriver(handle), mask, mode);
    }

    FT_STATUS SetBaudRate(FT_HANDLE handle, std::uint32_t baud) override {
        return f_.SetBaudRate(ToDriver(handle), baud);
    }

    FT_STATUS CreateDeviceInfoList(std::uint32_t* count) override {
        if (count == nullptr) {
            return FT_INVALID_PARAMETER;
        }
        d2xx::Dword listed = 0;
        const FT_STATUS status = f_.CreateDeviceInfoList(&listed);
        if (status != FT_OK) {
            return status;
        }
        const std::string selection = SelectedAdapter();
        std::vector<std::uint32_t> adapters;
        std::vector<std::uint32_t> others;
        for (std::uint32_t index = 0; index < listed; ++index) {
            d2xx::Dword id = 0;
            d2xx::Dword location = 0;
            std::array<char, kSerialSize> serial{};
            // A device that vanished since the list was taken is left out.
            if (f_.GetDeviceInfoDetail(index, nullptr, nullptr, &id, &location, serial.data(),
                                       nullptr, nullptr) != FT_OK) {
                continue;
            }
            serial.back() = '\0';
            const bool adapter = id == kAdapterId;
            if (!selection.empty() &&
                !(adapter && SelectionNames(selection, serial.data(), location))) {
                continue;
            }
            (adapter ? adapters : others).push_back(index);
        }
        order_ = std::move(adapters);
        order_.insert(order_.end(), others.begin(), others.end());
        *count = static_cast<std::uint32_t>(order_.size());
        return FT_OK;
    }

    FT_STATUS GetDeviceInfoDetail(std::uint32_t index, std::uint32_t* flags, FT_DEVICE* type,
                                  std::uint32_t* id, std::uint32_t* location, char* serial,
                                  char* description, FT_HANDLE* handle) override {
        if (index >= order_.size()) {
            return FT_DEVICE_NOT_FOUND;
        }
        d2xx::Handle opened = nullptr;
        const FT_STATUS status = f_.GetDeviceInfoDetail(order_[index], flags, type, id, location,
                                                        serial, description, &opened);
        if (status == FT_OK && handle != nullptr) {
            *handle = FromDriver(opened);
        }
        return status;
    }

private:
    DynamicLibrary library_;  // kept loaded while f_ points into it
    d2xx::Functions f_;
    std::vector<std::uint32_t> order_;  // our index -> the library's index
};

}  // namespace

std::filesystem::path DefaultD2xxLibrary() {
#ifdef _WIN32
    return "ftd2xx.dll";
#else
    return "libftd2xx.so";
#endif
}

std::unique_ptr<DriverBackend> LoadD2xxBackend(const std::filesystem::path& library,
                                               std::string& error) {
    // As UTF-8, which never fails to convert, whatever the path holds.
    const std::u8string utf8 = library.u8string();
    const std::string name(utf8.begin(), utf8.end());
    DynamicLibrary loaded;
    if (std::string reason = loaded.Load(library); !reason.empty()) {
        error = "cannot load the D2XX library " + name + ": " + reason;
        return nullptr;
    }
    d2xx::Functions functions{};
    if (const std::string missing = BindAll(loaded, functions); !missing.empty()) {
        error = "the D2XX library " + name + " has no function " + missing;
        return nullptr;
    }
    error.clear();
    return std::make_unique<D2xxBackend>(std::move(loaded), functions);
}

}  // namespace tarnel
