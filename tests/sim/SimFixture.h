#pragma once
// Shared set-up of the simulator tests: a SimulatedBackend installed as the driver backend
// (the fixture keeps a pointer to it), the process globals reset, no sleeping, and helpers
// that build channel bytes and drive the raw driver calls.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/AdapterLink.h"
#include "platform/DriverBackend.h"
#include "platform/Sleep.h"
#include "sim/SimulatedBackend.h"
#include "support/Portable.h"
#include "support/ProcessGlobals.h"
#include "support/WireTraceReader.h"

namespace tarnel::sim::test {

using Bytes = std::vector<std::uint8_t>;

// 0xCA and the 8 nibble bytes of word, built independently of the channel code.
inline Bytes WordBytes(std::uint32_t word) {
    Bytes bytes{0xCA};
    for (int shift = 28; shift >= 0; shift -= 4) {
        const unsigned n = (word >> shift) & 0xF;
        const unsigned reversed = ((n & 1) << 3) | ((n & 2) << 1) | ((n & 4) >> 1) | (n >> 3);
        bytes.push_back(static_cast<std::uint8_t>(0x30 | reversed));
    }
    return bytes;
}

inline const Bytes kTerminator{0xA7, 0xEB, 0x8F, 0xE3, 0x86, 0xA3};
inline const Bytes kAnswerRequest{0xCA, 0x70, 0x70, 0x70, 0x70, 0x70, 0x70, 0x70, 0x70};
inline const Bytes kLineIdleBytes{0x80, 0xC0, 0xE0, 0xA0, 0xA8, 0xB0};
inline const Bytes kAttach{0xA3, 0xE3};
inline const Bytes kDetach{0xE0, 0xA0};

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

inline Bytes WriteTx(std::uint32_t command, std::uint32_t value) {
    return Join({WordBytes(value), WordBytes(command & 0x7FFFFFFFu), kTerminator});
}
inline Bytes ExecuteTx(std::uint32_t command) {
    return Join({WordBytes(command), kTerminator});
}
inline Bytes ReadTx(std::uint32_t command) {
    return Join({WordBytes(command), kTerminator, kAnswerRequest});
}

// The answer word carried by 8 answer bytes (low nibbles, bit-reversed).
inline std::uint32_t DecodeAnswer(const Bytes& bytes) {
    std::uint32_t word = 0;
    for (const std::uint8_t b : bytes) {
        const unsigned n = b & 0xF;
        word = (word << 4) | ((n & 1) << 3) | ((n & 2) << 1) | ((n & 4) >> 1) | (n >> 3);
    }
    return word;
}

// A directory of its own for each test, removed afterwards.
class TempDir {
public:
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "tarnel-sim-test-" + std::string(info->test_suite_name()) + "-" +
                           info->name() + "-" + std::to_string(tarnel::test::ProcessId());
        for (char& c : name) {
            if (c == '/') {
                c = '_';
            }
        }
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    // Never throws: on Windows a file still open (a trace the installed simulator holds)
    // cannot be removed, and is left in the temporary directory.
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

class SimFixture : public ::testing::Test {
public:
    SimFixture() {
        SetSleepFunction([](unsigned) {});
    }

    // Installs a simulator with this configuration, replacing the previous one.
    SimulatedBackend& Install(SimConfig config = {}) {
        auto backend = std::make_unique<SimulatedBackend>(std::move(config));
        sim_ = backend.get();
        InstallDriverBackend(std::move(backend));
        return *sim_;
    }
    SimulatedBackend& InstallWithFaults(const std::string& faults) {
        const auto parsed = ParseFaults(faults);
        EXPECT_TRUE(parsed.has_value()) << faults;
        return Install(SimConfig{parsed.value_or(Faults{}), "", ""});
    }
    // Destroys the installed simulator (as the process end does).
    void Uninstall() {
        InstallDriverBackend(nullptr);
        sim_ = nullptr;
    }
    SimulatedBackend& sim() { return *sim_; }

    // --- Raw driver calls ---
    FT_HANDLE OpenDevice(int index = 0) {
        FT_HANDLE handle = kNoDevice;
        EXPECT_EQ(FT_Open(index, &handle), FT_OK);
        return handle;
    }
    void Send(FT_HANDLE handle, const Bytes& bytes) {
        std::uint32_t written = 0;
        ASSERT_EQ(
            FT_Write(handle, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &written),
            FT_OK);
        ASSERT_EQ(written, bytes.size());
    }
    Bytes Receive(FT_HANDLE handle, std::uint32_t count) {
        Bytes bytes(count);
        std::uint32_t got = 0;
        EXPECT_EQ(FT_Read(handle, bytes.data(), count, &got), FT_OK);
        bytes.resize(got);
        return bytes;
    }
    // The recovery pulse exactly as the link sends it.
    void SendRecoveryPulse(FT_HANDLE handle, unsigned writes = 248) {
        ASSERT_EQ(FT_SetBitMode(handle, 0x80, 1), FT_OK);
        ASSERT_EQ(FT_Purge(handle, 3), FT_OK);
        ASSERT_EQ(FT_SetBaudRate(handle, 9600), FT_OK);
        for (unsigned i = 0; i < writes; ++i) {
            Send(handle, {0x00});
        }
        ASSERT_EQ(FT_SetBitMode(handle, 0x00, 0), FT_OK);
        ASSERT_EQ(FT_Purge(handle, 3), FT_OK);
    }
    // Opens the adapter and brings it to the attached state with the debug port set up,
    // with one-second time-outs, by raw bytes.
    FT_HANDLE OpenAttached(bool setUp = true) {
        const FT_HANDLE handle = OpenDevice();
        EXPECT_EQ(FT_SetTimeouts(handle, 1000, 1000), FT_OK);
        Send(handle, Join({kLineIdleBytes, kAttach}));
        if (setUp) {
            Send(handle, WriteTx(0x03100001, 0x0DBE));
        }
        return handle;
    }
    // A read transaction by raw bytes; the decoded answer, or nothing without 8 bytes.
    std::optional<std::uint32_t> RawRead(FT_HANDLE handle, std::uint32_t command) {
        Send(handle, ReadTx(command));
        const Bytes answer = Receive(handle, 8);
        if (answer.size() != 8) {
            return std::nullopt;
        }
        return DecodeAnswer(answer);
    }

    tarnel::test::ProcessGlobalsScope globals_;
    SimulatedBackend* sim_ = nullptr;
};

}  // namespace tarnel::sim::test
