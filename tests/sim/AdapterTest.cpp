// The USB side and the adapter, driven by raw driver calls: the device list and its
// faults, opening, the probe, the recovery pulse and the call faults.

#include <gtest/gtest.h>

#include "SimFixture.h"

namespace tarnel::sim::test {
namespace {

class AdapterTest : public SimFixture {};

struct ListCase {
    const char* faults;
    std::vector<FT_STATUS> openStatus;  // per listed index
    std::vector<std::uint32_t> ids;     // per index that opens (0: does not open)
};

TEST_F(AdapterTest, DeviceListFollowsTheFaults) {
    const ListCase cases[] = {
        {"", {FT_OK}, {0x0403F1A0}},
        {"no-adapter", {}, {}},
        {"foreign-first", {FT_OK, FT_OK}, {0x04036001, 0x0403F1A0}},
        {"open-fails", {FT_DEVICE_NOT_OPENED, FT_OK}, {0, 0x0403F1A0}},
        {"no-adapter,foreign-first", {}, {}},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.faults);
        InstallWithFaults(c.faults);
        std::uint32_t count = 99;
        ASSERT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
        ASSERT_EQ(count, c.openStatus.size());
        for (std::size_t i = 0; i < count; ++i) {
            FT_HANDLE h = kNoDevice;
            ASSERT_EQ(FT_Open(static_cast<int>(i), &h), c.openStatus[i]);
            if (c.openStatus[i] != FT_OK) {
                EXPECT_EQ(h, kNoDevice);
                continue;
            }
            std::uint32_t id = 0;
            ASSERT_EQ(FT_GetDeviceInfo(h, nullptr, &id, nullptr, nullptr, nullptr), FT_OK);
            EXPECT_EQ(id, c.ids[i]);
            EXPECT_EQ(FT_Close(h), FT_OK);
        }
        FT_HANDLE h = kNoDevice;
        EXPECT_EQ(FT_Open(static_cast<int>(count), &h), FT_DEVICE_NOT_FOUND);
        EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
    }
}

TEST_F(AdapterTest, OpeningTwiceWithoutACloseFails) {
    Install();
    const FT_HANDLE first = OpenDevice();
    FT_HANDLE second = kNoDevice;
    EXPECT_EQ(FT_Open(0, &second), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(second, kNoDevice);
    ASSERT_EQ(FT_Close(first), FT_OK);
    EXPECT_EQ(FT_Open(0, &second), FT_OK);
    EXPECT_NE(second, first);
}

TEST_F(AdapterTest, StaleHandleIsRefusedAndReported) {
    Install();
    const FT_HANDLE h = OpenDevice();
    ASSERT_EQ(FT_Close(h), FT_OK);
    const Bytes probe{0xD0};
    std::uint32_t written = 0;
    EXPECT_EQ(FT_Write(h, probe.data(), 1, &written), FT_INVALID_HANDLE);
    EXPECT_EQ(FT_Close(h), FT_INVALID_HANDLE);
    EXPECT_EQ(sim().ProtocolErrorCount(), 2u);
}

TEST_F(AdapterTest, EachProbeByteGetsOneAnswerByte) {
    Install();
    const FT_HANDLE h = OpenDevice();
    ASSERT_EQ(FT_SetTimeouts(h, 100, 0), FT_OK);
    Send(h, {0xD0});
    EXPECT_EQ(Receive(h, 2).size(), 1u);
    Send(h, {0xD0, 0xD0});
    EXPECT_EQ(Receive(h, 4).size(), 2u);
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
}

TEST_F(AdapterTest, SilentAdapterAnswersOnlyAfterTheRecoveryPulse) {
    InstallWithFaults("silent-probe=1");
    const FT_HANDLE h = OpenDevice();
    ASSERT_EQ(FT_SetTimeouts(h, 100, 0), FT_OK);
    Send(h, {0xD0});
    EXPECT_TRUE(Receive(h, 1).empty());
    // Probing again does not help: only the pulse brings the adapter back.
    Send(h, {0xD0});
    EXPECT_TRUE(Receive(h, 1).empty());
    SendRecoveryPulse(h);
    Send(h, {0xD0});
    EXPECT_EQ(Receive(h, 1).size(), 1u);
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
}

TEST_F(AdapterTest, AdapterSilentForTwoProbesStaysSilentAfterOnePulse) {
    InstallWithFaults("silent-probe=2");
    const FT_HANDLE h = OpenDevice();
    ASSERT_EQ(FT_SetTimeouts(h, 100, 0), FT_OK);
    Send(h, {0xD0});
    EXPECT_TRUE(Receive(h, 1).empty());
    SendRecoveryPulse(h);
    Send(h, {0xD0});
    EXPECT_TRUE(Receive(h, 1).empty());
    EXPECT_TRUE(sim().adapter().Silent());
}

TEST_F(AdapterTest, MalformedRecoveryPulsesAreReportedAndDoNotRecover) {
    struct Case {
        const char* what;
        std::function<void(AdapterTest&, FT_HANDLE)> pulse;
        const char* message;
    };
    const Case cases[] = {
        {"247 writes", [](AdapterTest& t, FT_HANDLE h) { t.SendRecoveryPulse(h, 247); },
         "recovery pulse of 247 writes"},
        {"one combined write",
         [](AdapterTest& t, FT_HANDLE h) {
             FT_SetBitMode(h, 0x80, 1);
             FT_SetBaudRate(h, 9600);
             t.Send(h, Bytes(248, 0x00));
             FT_SetBitMode(h, 0, 0);
         },
         "bit-bang write of"},
        {"no baud rate",
         [](AdapterTest& t, FT_HANDLE h) {
             FT_SetBitMode(h, 0x80, 1);
             for (int i = 0; i < 248; ++i) {
                 t.Send(h, {0x00});
             }
             FT_SetBitMode(h, 0, 0);
         },
         "before the baud rate"},
        {"wrong baud rate",
         [](AdapterTest& t, FT_HANDLE h) {
             FT_SetBitMode(h, 0x80, 1);
             FT_SetBaudRate(h, 115200);
             for (int i = 0; i < 248; ++i) {
                 t.Send(h, {0x00});
             }
             FT_SetBitMode(h, 0, 0);
         },
         "baud rate 115200"},
        {"other bit mode", [](AdapterTest&, FT_HANDLE h) { FT_SetBitMode(h, 0xFF, 1); },
         "bit mode 0xFF 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InstallWithFaults("silent-probe=1");
        const FT_HANDLE h = OpenDevice();
        FT_SetTimeouts(h, 100, 0);
        Send(h, {0xD0});
        c.pulse(*this, h);
        ASSERT_GE(sim().ProtocolErrorCount(), 1u);
        EXPECT_NE(sim().ProtocolErrors()[0].find(c.message), std::string::npos)
            << sim().ProtocolErrors()[0];
        Send(h, {0xD0});
        EXPECT_TRUE(Receive(h, 1).empty());
    }
}

TEST_F(AdapterTest, WriteErrorFailsTheNthWriteAndDeliversNothing) {
    InstallWithFaults("write-error=2");
    const FT_HANDLE h = OpenDevice();
    FT_SetTimeouts(h, 100, 0);
    Send(h, {0xD0});
    const Bytes probe{0xD0};
    std::uint32_t written = 7;
    EXPECT_EQ(FT_Write(h, probe.data(), 1, &written), FT_IO_ERROR);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(Receive(h, 2).size(), 1u);  // only the first probe reached the adapter
    Send(h, {0xD0});                      // the third write works again
    EXPECT_EQ(Receive(h, 1).size(), 1u);
}

TEST_F(AdapterTest, ShortWriteDropsTheLastByte) {
    InstallWithFaults("short-write=1");
    const FT_HANDLE h = OpenDevice();
    std::uint32_t written = 0;
    ASSERT_EQ(FT_Write(h, kLineIdleBytes.data(), 6, &written), FT_OK);
    EXPECT_EQ(written, 5u);
    // The adapter got 80 C0 E0 A0 A8: the attach bytes now cut the sequence short.
    Send(h, kAttach);
    ASSERT_GE(sim().ProtocolErrorCount(), 1u);
    EXPECT_EQ(sim().ProtocolErrors()[0],
              "line-idle sequence cut short after 5 of 6 bytes by byte 0xA3");
}

TEST_F(AdapterTest, ShortReadKeepsTheLastByteQueued) {
    InstallWithFaults("short-read=1");
    const FT_HANDLE h = OpenDevice();
    FT_SetTimeouts(h, 100, 0);
    Send(h, {0xD0, 0xD0});
    EXPECT_EQ(Receive(h, 2).size(), 1u);
    EXPECT_EQ(Receive(h, 2).size(), 1u);
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
}

TEST_F(AdapterTest, ReadErrorFailsTheNthRead) {
    InstallWithFaults("read-error=1");
    const FT_HANDLE h = OpenDevice();
    FT_SetTimeouts(h, 100, 0);
    Send(h, {0xD0});
    Bytes buffer(1);
    std::uint32_t got = 9;
    EXPECT_EQ(FT_Read(h, buffer.data(), 1, &got), FT_IO_ERROR);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(Receive(h, 1).size(), 1u);
}

TEST_F(AdapterTest, PurgeDropsQueuedAnswers) {
    Install();
    const FT_HANDLE h = OpenDevice();
    FT_SetTimeouts(h, 100, 0);
    Send(h, {0xD0});
    ASSERT_EQ(FT_Purge(h, 3), FT_OK);
    EXPECT_TRUE(Receive(h, 1).empty());
}

TEST_F(AdapterTest, UnsatisfiableReadWithoutTimeOutIsReported) {
    Install();
    const FT_HANDLE h = OpenDevice();
    ASSERT_EQ(FT_SetTimeouts(h, 0, 0), FT_OK);
    EXPECT_TRUE(Receive(h, 1).empty());
    ASSERT_EQ(sim().ProtocolErrorCount(), 1u);
    EXPECT_NE(sim().ProtocolErrors()[0].find("would wait for ever"), std::string::npos);
}

TEST_F(AdapterTest, ForeignDeviceTakesNoAdapterTraffic) {
    InstallWithFaults("foreign-first");
    const FT_HANDLE h = OpenDevice(0);
    Send(h, {0xD0});
    EXPECT_EQ(sim().ProtocolErrorCount(), 1u);
}

}  // namespace
}  // namespace tarnel::sim::test
