// The wire trace is a contract that other tools parse: every kind of call is checked here
// line for line, against the driven calls of the simulator.

#include <gtest/gtest.h>

#include "SimFixture.h"
#include "sim/WireTrace.h"

namespace tarnel::sim::test {
namespace {

using tarnel::test::ReadWireTrace;

class WireTraceTest : public SimFixture {
protected:
    TempDir dir;
    std::filesystem::path tracePath = dir / "trace.txt";

    SimulatedBackend& InstallTraced(const std::string& faults = "") {
        return Install(SimConfig{ParseFaults(faults).value(), "", tracePath.string()});
    }
};

TEST_F(WireTraceTest, EveryCallKindHasItsExactLine) {
    InstallTraced();
    std::uint32_t count = 0;
    ASSERT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    FT_HANDLE h = kNoDevice;
    ASSERT_EQ(FT_Open(0, &h), FT_OK);
    std::uint32_t id = 0;
    FT_DEVICE type = 0;
    char serial[64];
    char description[64];
    ASSERT_EQ(FT_GetDeviceInfo(h, &type, &id, serial, description, nullptr), FT_OK);
    ASSERT_EQ(FT_SetLatencyTimer(h, 1), FT_OK);
    ASSERT_EQ(FT_SetTimeouts(h, 100, 0), FT_OK);
    ASSERT_EQ(FT_Purge(h, 3), FT_OK);
    Send(h, {0xD0});
    EXPECT_EQ(Receive(h, 1), Bytes{0xD0});
    EXPECT_EQ(Receive(h, 1), Bytes{});
    ASSERT_EQ(FT_SetBitMode(h, 0x80, 1), FT_OK);
    ASSERT_EQ(FT_SetBaudRate(h, 9600), FT_OK);
    ASSERT_EQ(FT_SetBitMode(h, 0x00, 0), FT_OK);
    Send(h, Join({kLineIdleBytes, kAttach}));
    Send(h, WriteTx(0x03100001, 0x0DBE));
    Send(h, WriteTx(0x9000FF43, 1));
    Send(h, ReadTx(0x9000FF43));
    EXPECT_EQ(Receive(h, 8).size(), 8u);
    Send(h, kDetach);
    ASSERT_EQ(FT_Close(h), FT_OK);
    FT_HANDLE unused = kNoDevice;
    EXPECT_EQ(FT_Open(5, &unused), FT_DEVICE_NOT_FOUND);

    const std::vector<std::string> expected = {
        "FT_ListDevices -> 0 1",
        "FT_Open 0 -> 0",
        "FT_GetDeviceInfo -> 0 0x0403F1A0",
        "FT_SetLatencyTimer 1 -> 0",
        "FT_SetTimeouts 100 0 -> 0",
        "FT_Purge 3 -> 0",
        "FT_Write D0 -> 0 1",
        "FT_Read 1 -> 0 1 D0",
        "FT_Read 1 -> 0 0 -",
        "FT_SetBitMode 0x80 1 -> 0",
        "FT_SetBaudRate 9600 -> 0",
        "FT_SetBitMode 0x00 0 -> 0",
        // The pulse above was incomplete: reported right after the call that ended it.
        "# protocol error: recovery pulse of 0 writes ended; it takes 248 one-byte writes of "
        "0x00 at 9600 baud",
        "FT_Write 80C0E0A0A8B0A3E3 -> 0 8",
        "FT_Write CA30303030303B3D37CA303C383030303038A7EB8FE386A3 -> 0 24",
        "FT_Write CA3030303030303038CA383030303F3F323CA7EB8FE386A3 -> 0 24",
        "FT_Write CA393030303F3F323CA7EB8FE386A3CA7070707070707070 -> 0 24",
        "FT_Read 8 -> 0 8 3030303030303038",
        "FT_Write E0A0 -> 0 2",
        "FT_Close -> 0",
        "FT_Open 5 -> 2",
    };
    EXPECT_EQ(ReadWireTrace(tracePath).lines, expected);
}

TEST_F(WireTraceTest, FailedAndShortCallsShowTheirStatusAndCounts) {
    InstallTraced("write-error=1,short-write=2,read-error=1,short-read=2");
    const FT_HANDLE h = OpenDevice();
    ASSERT_EQ(FT_SetTimeouts(h, 100, 0), FT_OK);
    const Bytes probe{0xD0};
    std::uint32_t n = 99;
    EXPECT_EQ(FT_Write(h, probe.data(), 1, &n), FT_IO_ERROR);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(FT_Write(h, kLineIdleBytes.data(), 6, &n), FT_OK);
    EXPECT_EQ(n, 5u);
    Bytes buffer(4);
    EXPECT_EQ(FT_Read(h, buffer.data(), 4, &n), FT_IO_ERROR);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(FT_Read(h, buffer.data(), 4, &n), FT_OK);
    EXPECT_EQ(n, 0u);

    const auto lines = ReadWireTrace(tracePath).lines;
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[2], "FT_Write D0 -> 4 0");
    EXPECT_EQ(lines[3], "FT_Write 80C0E0A0A8B0 -> 0 5");
    EXPECT_EQ(lines[4], "FT_Read 4 -> 4 0 -");
    EXPECT_EQ(lines[5], "FT_Read 4 -> 0 0 -");
}

TEST_F(WireTraceTest, ProtocolErrorsFollowTheCallAsCommentLines) {
    InstallTraced();
    const FT_HANDLE h = OpenDevice();
    Send(h, {0x55});
    const auto lines = ReadWireTrace(tracePath).lines;
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "FT_Write 55 -> 0 1");
    EXPECT_EQ(lines[2], "# protocol error: unknown byte 0x55");
}

TEST_F(WireTraceTest, TraceIsAppendedAcrossRuns) {
    InstallTraced();
    std::uint32_t count = 0;
    FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
    InstallTraced("no-adapter");
    FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
    EXPECT_EQ(ReadWireTrace(tracePath).lines,
              (std::vector<std::string>{"FT_ListDevices -> 0 1", "FT_ListDevices -> 0 0"}));
}

TEST(WireTraceFormat, HexIsUpperCaseAndContiguous) {
    const Bytes bytes{0x0A, 0xBC, 0xFF, 0x00};
    EXPECT_EQ(FormatWrite(bytes, 0, 4), "FT_Write 0ABCFF00 -> 0 4");
    EXPECT_EQ(FormatRead(8, 0, {}), "FT_Read 8 -> 0 0 -");
    EXPECT_EQ(FormatGetDeviceInfo(4, 0x6001), "FT_GetDeviceInfo -> 4 0x00006001");
    EXPECT_EQ(FormatSetBitMode(0x0F, 1, 0), "FT_SetBitMode 0x0F 1 -> 0");
}

}  // namespace
}  // namespace tarnel::sim::test
