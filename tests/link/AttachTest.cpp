// Attaching and detaching: the bytes on the wire, time-outs, autoFlush, failure paths.

#include "LinkFixture.h"
#include "link/Attach.h"

namespace tarnel::test {
namespace {

constexpr FT_HANDLE kAdapterHandle = ScriptedBackend::kHandleBase;

class AttachTest : public LinkFixture {
protected:
    void ScriptAnsweringAdapter() {
        backend.devices = {ScriptedDevice{}};
        backend.QueueRead({0x00});
    }
};

TEST_F(AttachTest, AttachThenDetachPutsTheExpectedBytesOnTheWire) {
    ScriptAnsweringAdapter();
    EXPECT_EQ(AttachAdapter(), 0);
    EXPECT_EQ(LinkAutoFlush(), 1);
    EXPECT_EQ(backend.ReadTimeoutMs(), 1000u);
    EXPECT_EQ(backend.WriteTimeoutMs(), 1000u);
    EXPECT_EQ(DetachAdapter(), 0);
    EXPECT_EQ(LinkAutoFlush(), 1);
    const Log writes = {"FT_Write D0", kLineIdleWrite, "FT_Write A3E3", "FT_Write E0A0",
                        kLineIdleWrite};
    Log seen;
    for (const std::string& line : backend.Log()) {
        if (line.rfind("FT_Write", 0) == 0) {
            seen.push_back(line);
        }
    }
    EXPECT_EQ(seen, writes);
    EXPECT_EQ(backend.Log().back(), "FT_Close");
    // The attach time-outs follow the attach bytes.
    const Log& log = backend.Log();
    const auto attachBytes = std::find(log.begin(), log.end(), "FT_Write A3E3");
    ASSERT_NE(attachBytes, log.end());
    EXPECT_EQ(*(attachBytes + 1), "FT_SetTimeouts 1000 1000");
    EXPECT_EQ(link().handle, kNoDevice);
    EXPECT_FALSE(backend.IsOpen(kAdapterHandle));
}

TEST_F(AttachTest, NoAdapterFailsWithoutWritingAndKeepsAutoFlush) {
    EXPECT_EQ(AttachAdapter(), 1);
    EXPECT_TRUE(backend.Writes().empty());
    EXPECT_EQ(LinkAutoFlush(), 0);
}

TEST_F(AttachTest, SilentAdapterFailsAndIsClosed) {
    backend.devices = {ScriptedDevice{}};
    EXPECT_EQ(AttachAdapter(), 1);
    EXPECT_EQ(LinkAutoFlush(), 0);
    EXPECT_EQ(link().handle, kNoDevice);
    EXPECT_FALSE(backend.IsOpen(kAdapterHandle));
}

struct AttachFailure {
    const char* name;
    Call call;
    int n;           // n-th call of the kind
    bool shortOnly;  // a short write instead of a failure
};

void PrintTo(const AttachFailure& f, std::ostream* os) {
    *os << f.name;
}

class AttachFailureTest : public AttachTest, public ::testing::WithParamInterface<AttachFailure> {};

TEST_P(AttachFailureTest, FailsLeavesNothingOpenAndCanBeRetried) {
    const AttachFailure& f = GetParam();
    ScriptAnsweringAdapter();
    if (f.shortOnly) {
        backend.ShortWriteNth(f.n);
    } else {
        backend.FailNth(f.call, f.n, FT_IO_ERROR);
    }
    EXPECT_EQ(AttachAdapter(), 1);  // never 2, also for a short transfer
    EXPECT_EQ(LinkAutoFlush(), 0);
    EXPECT_EQ(link().handle, kNoDevice);
    EXPECT_FALSE(backend.IsOpen(kAdapterHandle));
    // The device was released, so the next attach can open it again.
    backend.QueueRead({0x00});
    EXPECT_EQ(AttachAdapter(), 0);
    EXPECT_EQ(LinkAutoFlush(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, AttachFailureTest,
    ::testing::Values(AttachFailure{"AttachBytesShort", Call::Write, 3, true},
                      AttachFailure{"AttachBytesFail", Call::Write, 3, false},
                      AttachFailure{"LineIdleShort", Call::Write, 2, true},
                      AttachFailure{"TimeoutsFail", Call::SetTimeouts, 3, false}),
    [](const ::testing::TestParamInfo<AttachFailure>& info) { return info.param.name; });

TEST_F(AttachTest, DetachSendsItsBytesBehindWaitingOnes) {
    ScriptAnsweringAdapter();
    ASSERT_EQ(AttachAdapter(), 0);
    SetLinkAutoFlush(0);
    ASSERT_EQ(PutByte(0x5A), kLinkOk);
    backend.ClearLog();
    EXPECT_EQ(DetachAdapter(), 0);
    EXPECT_EQ(backend.Log(), (Log{"FT_Write 5AE0A0", kLineIdleWrite, "FT_Close"}));
}

TEST_F(AttachTest, DetachAfterADriverFailureReportsItAndStillCloses) {
    ScriptAnsweringAdapter();
    ASSERT_EQ(AttachAdapter(), 0);
    FailLink();
    EXPECT_EQ(DetachAdapter(), 1);
    EXPECT_EQ(backend.Log(), (Log{"FT_Close"}));
    EXPECT_EQ(link().handle, kNoDevice);
    EXPECT_FALSE(backend.IsOpen(kAdapterHandle));
}

TEST_F(AttachTest, DetachWithAShortWriteReportsFailure) {
    ScriptAnsweringAdapter();
    ASSERT_EQ(AttachAdapter(), 0);
    backend.ShortWriteNth(backend.CountOf(Call::Write) + 1);
    EXPECT_EQ(DetachAdapter(), 1);
    EXPECT_EQ(link().handle, kNoDevice);
}

}  // namespace
}  // namespace tarnel::test
