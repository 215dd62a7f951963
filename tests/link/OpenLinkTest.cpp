// Opening and closing the link: device search, probing, recovery, failure paths.

#include <functional>

#include "LinkFixture.h"

namespace tarnel::test {
namespace {

constexpr FT_HANDLE kFirst = ScriptedBackend::kHandleBase;
const Log kFindFirst = {"FT_ListDevices", "FT_Open 0", "FT_GetDeviceInfo"};

struct OpenCase {
    const char* name;
    std::function<void(ScriptedBackend&)> script;
    LinkStatus result;
    FT_HANDLE handle;  // handle afterwards
    FT_STATUS lastStatus;
    Log calls;
};

void PrintTo(const OpenCase& c, std::ostream* os) {
    *os << c.name;
}

class OpenLinkTest : public LinkFixture, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenLinkTest, CallsAndResult) {
    const OpenCase& c = GetParam();
    c.script(backend);
    EXPECT_EQ(OpenLink(), c.result);
    EXPECT_EQ(backend.Log(), c.calls);
    EXPECT_EQ(link().handle, c.handle);
    EXPECT_EQ(link().lastStatus, c.lastStatus);
    EXPECT_EQ(link().outCount, 0);
    // Whatever happened, no device is left open unless the link holds it.
    for (std::size_t i = 0; i < backend.devices.size(); ++i) {
        EXPECT_EQ(backend.IsOpen(kFirst + i), kFirst + i == c.handle) << "device " << i;
    }
}

const ScriptedDevice kAdapter{};
const ScriptedDevice kForeign{0x04036001u};
const ScriptedDevice kUnopenable{0x0403F1A0u, FT_DEVICE_NOT_OPENED};

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenLinkTest,
    ::testing::Values(
        OpenCase{"AnsweredAtOnce",
                 [](ScriptedBackend& b) {
                     b.devices = {kAdapter};
                     b.QueueRead({0x00});
                 },
                 kLinkOk, kFirst, FT_OK, Concat({kFindFirst, kSetUpCalls, kProbeCalls, kOpenTail})},
        OpenCase{"SilentThenAnswered",
                 [](ScriptedBackend& b) {
                     b.devices = {kAdapter};
                     b.QueueRead({});
                     b.QueueRead({0xFF});
                 },
                 kLinkOk, kFirst, FT_OK,
                 Concat({kFindFirst, kSetUpCalls, kProbeCalls, RecoveryCalls(), kProbeCalls,
                         kOpenTail})},
        OpenCase{"SilentTwice", [](ScriptedBackend& b) { b.devices = {kAdapter}; }, kLinkFailed,
                 kNoDevice, FT_OK,
                 Concat({kFindFirst,
                         kSetUpCalls,
                         kProbeCalls,
                         RecoveryCalls(),
                         kProbeCalls,
                         {"FT_Close"}})},
        OpenCase{
            "NoDevice", [](ScriptedBackend&) {}, kLinkFailed, kNoDevice, FT_OK, {"FT_ListDevices"}},
        OpenCase{"ListingFails",
                 [](ScriptedBackend& b) { b.listStatus = FT_IO_ERROR; },
                 kLinkFailed,
                 kNoDevice,
                 FT_OK,
                 {"FT_ListDevices"}},
        OpenCase{"ForeignDeviceFirst",
                 [](ScriptedBackend& b) {
                     b.devices = {kForeign, kAdapter};
                 },
                 kLinkFailed, kNoDevice, FT_OK, Concat({kFindFirst, {"FT_Close"}})},
        OpenCase{"DeviceInfoFails",
                 [](ScriptedBackend& b) {
                     b.devices = {ScriptedDevice{0x0403F1A0u, FT_OK, FT_IO_ERROR}, kAdapter};
                 },
                 kLinkFailed, kNoDevice, FT_OK, Concat({kFindFirst, {"FT_Close"}})},
        OpenCase{"UnopenableDeviceSkipped",
                 [](ScriptedBackend& b) {
                     b.devices = {kUnopenable, kAdapter};
                     b.QueueRead({0x00});
                 },
                 kLinkOk, kFirst + 1, FT_OK,
                 Concat({{"FT_ListDevices", "FT_Open 0", "FT_Open 1", "FT_GetDeviceInfo"},
                         kSetUpCalls,
                         kProbeCalls,
                         kOpenTail})},
        OpenCase{"NoDeviceOpens",
                 [](ScriptedBackend& b) {
                     b.devices = {kUnopenable, kUnopenable};
                 },
                 kLinkFailed,
                 kNoDevice,
                 FT_OK,
                 {"FT_ListDevices", "FT_Open 0", "FT_Open 1"}},
        OpenCase{"PurgeFails",
                 [](ScriptedBackend& b) {
                     b.devices = {kAdapter};
                     b.FailNth(Call::Purge, 1, FT_IO_ERROR);
                 },
                 kLinkFailed, kNoDevice, FT_IO_ERROR,
                 Concat({kFindFirst, kSetUpCalls, {"FT_Close"}})},
        OpenCase{"ProbeReadFails",
                 [](ScriptedBackend& b) {
                     b.devices = {kAdapter};
                     b.QueueRead({}, FT_IO_ERROR);
                 },
                 kLinkFailed, kNoDevice, FT_IO_ERROR,
                 Concat({kFindFirst, kSetUpCalls, kProbeCalls, {"FT_Close"}})},
        OpenCase{"RecoveryPulseFails",
                 [](ScriptedBackend& b) {
                     b.devices = {kAdapter};
                     b.FailNth(Call::Write, 11, FT_IO_ERROR);  // probe, then 10th pulse byte
                 },
                 kLinkFailed, kNoDevice, FT_IO_ERROR,
                 Concat({kFindFirst,
                         kSetUpCalls,
                         kProbeCalls,
                         {"FT_SetBitMode 0x80 1", "FT_Purge 3", "FT_SetBaudRate 9600"},
                         Log(10, "FT_Write 00"),
                         {"FT_Close"}})},
        OpenCase{"LineIdleShort",
                 [](ScriptedBackend& b) {
                     b.devices = {kAdapter};
                     b.QueueRead({0x00});
                     b.ShortWriteNth(2);
                 },
                 kLinkShort, kNoDevice, FT_OK,
                 Concat({kFindFirst, kSetUpCalls, kProbeCalls, kOpenTail, {"FT_Close"}})}),
    [](const ::testing::TestParamInfo<OpenCase>& info) { return info.param.name; });

TEST_F(LinkFixture, FailedOpenCanBeRetriedOnTheSameDevice) {
    backend.devices = {ScriptedDevice{}};
    ASSERT_EQ(OpenLink(), kLinkFailed);  // silent at both probes
    backend.QueueRead({0x01});
    EXPECT_EQ(OpenLink(), kLinkOk);
    EXPECT_EQ(link().handle, kFirst);
}

TEST_F(LinkFixture, OpenStartsAfreshOnAFailedLink) {
    OpenHealthyLink();
    FailLink();
    AbandonLink();  // closes the device but keeps the failure recorded
    ASSERT_EQ(link().lastStatus, FT_IO_ERROR);
    ASSERT_EQ(PutByte(0x22), kLinkOk);  // left over in the buffer from the failed link
    backend.QueueRead({0x01});
    EXPECT_EQ(OpenLink(), kLinkOk);
    EXPECT_EQ(link().lastStatus, FT_OK);
    EXPECT_EQ(link().outCount, 0);
}

TEST_F(LinkFixture, CloseOnClosedLinkCallsNothing) {
    EXPECT_EQ(CloseLink(), kLinkOk);
    EXPECT_TRUE(backend.Log().empty());
}

TEST_F(LinkFixture, CloseFlushesSendsLineIdleAndCloses) {
    OpenHealthyLink();
    ASSERT_EQ(PutByte(0x42), kLinkOk);
    EXPECT_EQ(CloseLink(), kLinkOk);
    EXPECT_EQ(backend.Log(), (Log{"FT_Write 42", kLineIdleWrite, "FT_Close"}));
    EXPECT_EQ(link().handle, kNoDevice);
    EXPECT_FALSE(backend.IsOpen(kFirst));
}

TEST_F(LinkFixture, CloseOnFailedLinkStillClosesAndReportsFailure) {
    OpenHealthyLink();
    FailLink();
    ASSERT_EQ(PutByte(0x33), kLinkOk);
    EXPECT_EQ(CloseLink(), kLinkFailed);
    EXPECT_EQ(backend.Log(), (Log{"FT_Close"}));
    EXPECT_EQ(link().handle, kNoDevice);
    EXPECT_EQ(link().lastStatus, FT_OK);
}

TEST_F(LinkFixture, CloseWithShortLineIdleReportsFailureNotShort) {
    OpenHealthyLink();
    backend.ShortWriteNth(backend.CountOf(Call::Write) + 1);
    EXPECT_EQ(CloseLink(), kLinkFailed);
    EXPECT_EQ(link().handle, kNoDevice);
}

TEST_F(LinkFixture, FailedCloseKeepsTheHandle) {
    OpenHealthyLink();
    backend.FailNth(Call::Close, 1, FT_IO_ERROR);
    EXPECT_EQ(CloseLink(), kLinkFailed);
    EXPECT_EQ(link().handle, kFirst);
    EXPECT_EQ(link().lastStatus, FT_IO_ERROR);
}

}  // namespace
}  // namespace tarnel::test
