#pragma once
// The simulated driver backend: the USB side of the simulator. It lists and opens the
// devices (the adapter and, under some faults, others), injects the call faults, writes
// the wire trace and the flash file, and hands the bytes to the adapter model. It never
// sleeps: a read returns at once with what the adapter has queued, and fewer bytes than
// asked stand for an expired read time-out.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/DriverBackend.h"
#include "sim/Adapter.h"
#include "sim/Faults.h"
#include "sim/ProtocolLog.h"
#include "sim/Target.h"
#include "sim/WireTrace.h"

namespace tarnel::sim {

inline constexpr std::uint32_t kAdapterId = 0x0403F1A0u;
inline constexpr std::uint32_t kForeignId = 0x04036001u;

struct SimConfig {
    Faults faults;
    std::string flashPath;  // empty: the flash lives only in memory
    std::string tracePath;  // empty: no wire trace
};

class SimulatedBackend final : public DriverBackend {
public:
    explicit SimulatedBackend(SimConfig config = {});
    // Writes the flash file when the adapter is still open.
    ~SimulatedBackend() override;
    SimulatedBackend(const SimulatedBackend&) = delete;
    SimulatedBackend& operator=(const SimulatedBackend&) = delete;

    FT_STATUS ListDevices(void* arg1, void* arg2, std::uint32_t flags) override;
    FT_STATUS Open(int deviceNumber, FT_HANDLE* handle) override;
    FT_STATUS GetDeviceInfo(FT_HANDLE handle, FT_DEVICE* type, std::uint32_t* id, char* serial,
                            char* description, void* reserved) override;
    FT_STATUS Close(FT_HANDLE handle) override;
    FT_STATUS SetLatencyTimer(FT_HANDLE handle, unsigned char latencyMs) override;
    FT_STATUS SetTimeouts(FT_HANDLE handle, std::uint32_t readMs, std::uint32_t writeMs) override;
    FT_STATUS Purge(FT_HANDLE handle, std::uint32_t mask) override;
    FT_STATUS Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                    std::uint32_t* written) override;
    FT_STATUS Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                   std::uint32_t* got) override;
    FT_STATUS SetBitMode(FT_HANDLE handle, unsigned char mask, unsigned char mode) override;
    FT_STATUS SetBaudRate(FT_HANDLE handle, std::uint32_t baud) override;
    // The devices with serial numbers SIM00001 (the adapter) and SIM00002, locations
    // 0x11, 0x12, ... in list order.
    FT_STATUS CreateDeviceInfoList(std::uint32_t* count) override;
    FT_STATUS GetDeviceInfoDetail(std::uint32_t index, std::uint32_t* flags, FT_DEVICE* type,
                                  std::uint32_t* id, std::uint32_t* location, char* serial,
                                  char* description, FT_HANDLE* handle) override;

    // What the tests look at.
    Target& target() { return target_; }
    const Target& target() const { return target_; }
    FlashArray& flash() { return target_.Flash(); }
    const Adapter& adapter() const { return adapter_; }
    bool AdapterOpen() const;
    std::size_t ProtocolErrorCount() const { return log_.Count(); }
    const std::vector<std::string>& ProtocolErrors() const { return log_.Messages(); }

private:
    struct Device {
        std::uint32_t id;
        bool opens;
        bool adapter;
    };
    // The device behind an open handle, or null (the call is then answered
    // FT_INVALID_HANDLE and reported).
    const Device* Find(FT_HANDLE handle, const char* call);
    // Writes the call's trace line, formatted only when a trace is written, then the
    // simulator's notes and protocol errors that the call brought.
    template <typename Format>
    void Traced(Format&& format) {
        if (trace_.Enabled()) {
            TraceLine(format());
        }
        TraceNotes();
    }
    void TraceLine(const std::string& line);
    void TraceNotes();
    void LoadFlash();
    void SaveFlash();

    SimConfig config_;
    ProtocolLog log_;
    WireTrace trace_;
    std::vector<std::string> notes_;  // remarks of the simulator for the next trace line
    Target target_;
    Adapter adapter_;
    std::vector<Device> devices_;
    std::map<FT_HANDLE, std::size_t> open_;  // handle -> device index
    FT_HANDLE nextHandle_ = 0x51A0;
    unsigned writeCalls_ = 0;
    unsigned readCalls_ = 0;
    std::uint32_t readTimeoutMs_ = 0;
};

}  // namespace tarnel::sim
