#pragma once
// A driver backend for tests: it records every call with its arguments (and the bytes
// written) and answers from a script: the devices it lists, the answers of reads, and
// failures or short writes on the N-th call of a kind.
//
// The log holds one line per call, without results, for example:
//   FT_ListDevices                 FT_Open 0              FT_GetDeviceInfo
//   FT_Close                       FT_SetLatencyTimer 1   FT_SetTimeouts 100 0
//   FT_Purge 3                     FT_Write D0            FT_Read 1
//   FT_SetBitMode 0x80 1           FT_SetBaudRate 9600    Sleep 100
//   FT_CreateDeviceInfoList        FT_GetDeviceInfoDetail 0
// (bytes as contiguous upper-case hex; "Sleep" lines come from ScriptedDriverScope).

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/DriverBackend.h"

namespace tarnel::test {

enum class Call {
    ListDevices,
    Open,
    GetDeviceInfo,
    Close,
    SetLatencyTimer,
    SetTimeouts,
    Purge,
    Write,
    Read,
    SetBitMode,
    SetBaudRate,
    CreateDeviceInfoList,
    GetDeviceInfoDetail,
};

struct ScriptedDevice {
    std::uint32_t id = 0x0403F1A0u;
    FT_STATUS openStatus = FT_OK;  // non-zero: FT_Open of this device fails with it
    FT_STATUS infoStatus = FT_OK;  // non-zero: FT_GetDeviceInfo fails with it
};
// FT_GetDeviceInfoDetail describes device i with serial number "S<i>" and location i + 1.

struct ScriptedRead {
    std::vector<std::uint8_t> bytes;  // delivered up to the count asked; the rest is dropped
    FT_STATUS status = FT_OK;         // non-zero: the read fails and delivers nothing
};

class ScriptedBackend : public DriverBackend {
public:
    // Handles given out: kHandleBase + device index.
    static constexpr FT_HANDLE kHandleBase = 0x100;

    // --- Script ---
    std::vector<ScriptedDevice> devices;
    FT_STATUS listStatus = FT_OK;

    // Answers of the coming FT_Read calls, in order. With none queued a read succeeds
    // with 0 bytes, as a silent device does when the read time-out expires.
    void QueueRead(std::vector<std::uint8_t> bytes, FT_STATUS status = FT_OK);
    // The n-th call (from 1) of the kind fails with status and has no effect.
    void FailNth(Call call, int n, FT_STATUS status = FT_IO_ERROR);
    // The n-th FT_Write (from 1) succeeds but writes `missing` bytes fewer than asked.
    void ShortWriteNth(int n, std::uint32_t missing = 1);

    // --- Record ---
    const std::vector<std::string>& Log() const { return log_; }
    // The bytes asked of every FT_Write, in order (including failed and short ones).
    const std::vector<std::vector<std::uint8_t>>& Writes() const { return writes_; }
    int CountOf(Call call) const;
    bool IsOpen(FT_HANDLE handle) const;
    std::uint32_t ReadTimeoutMs() const { return readTimeoutMs_; }
    std::uint32_t WriteTimeoutMs() const { return writeTimeoutMs_; }
    // Appends a line of the test's own (used for sleeps).
    void Note(std::string line) { log_.push_back(std::move(line)); }
    void ClearLog();

    // --- DriverBackend ---
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
    FT_STATUS CreateDeviceInfoList(std::uint32_t* count) override;
    FT_STATUS GetDeviceInfoDetail(std::uint32_t index, std::uint32_t* flags, FT_DEVICE* type,
                                  std::uint32_t* id, std::uint32_t* location, char* serial,
                                  char* description, FT_HANDLE* handle) override;

private:
    static std::string SerialOf(std::size_t index);
    // Logs the call, counts it and returns the status it must answer with before any
    // effect: a scripted failure, or FT_INVALID_HANDLE for a handle that is not open.
    FT_STATUS Begin(Call call, std::string line, FT_HANDLE handle, bool needsHandle = true);

    std::vector<std::string> log_;
    std::vector<std::vector<std::uint8_t>> writes_;
    std::map<Call, int> counts_;
    std::map<std::pair<Call, int>, FT_STATUS> failures_;
    std::map<int, std::uint32_t> shortWrites_;
    std::deque<ScriptedRead> reads_;
    std::vector<bool> open_;
    std::uint32_t readTimeoutMs_ = 0;
    std::uint32_t writeTimeoutMs_ = 0;
};

// Bytes as contiguous upper-case hex, as the log writes them.
std::string Hex(const std::uint8_t* bytes, std::size_t count);
std::string Hex(const std::vector<std::uint8_t>& bytes);

// Installs a fresh ScriptedBackend as the driver backend and a sleep that only notes
// "Sleep <ms>" in its log; both are removed again on destruction.
class ScriptedDriverScope {
public:
    ScriptedDriverScope();
    ~ScriptedDriverScope();
    ScriptedDriverScope(const ScriptedDriverScope&) = delete;
    ScriptedDriverScope& operator=(const ScriptedDriverScope&) = delete;

    ScriptedBackend& backend;
};

}  // namespace tarnel::test
