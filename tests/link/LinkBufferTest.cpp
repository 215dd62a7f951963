// Buffered output, reads, time-outs and the failed state of an open link.

#include <numeric>

#include "LinkFixture.h"

namespace tarnel::test {
namespace {

std::vector<std::uint8_t> Counting(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return bytes;
}

TEST_F(LinkFixture, PutByteWritesOnlyWhenTheBufferFills) {
    OpenHealthyLink();
    const auto bytes = Counting(992);
    for (int i = 0; i < 991; ++i) {
        ASSERT_EQ(PutByte(bytes[static_cast<std::size_t>(i)]), kLinkOk);
    }
    EXPECT_TRUE(backend.Writes().empty());
    EXPECT_EQ(link().outCount, 991);
    EXPECT_EQ(PutByte(bytes[991]), kLinkOk);
    ASSERT_EQ(backend.Writes().size(), 1u);
    EXPECT_EQ(backend.Writes()[0], bytes);
    EXPECT_EQ(link().outCount, 0);
}

TEST_F(LinkFixture, PutByteStoresTheLowEightBitsAndMinusOneFlushes) {
    OpenHealthyLink();
    ASSERT_EQ(PutByte(0x1A5), kLinkOk);
    ASSERT_EQ(PutByte(-2), kLinkOk);
    EXPECT_TRUE(backend.Writes().empty());
    EXPECT_EQ(PutByte(-1), kLinkOk);
    EXPECT_EQ(backend.Log(), (Log{"FT_Write A5FE"}));
}

TEST_F(LinkFixture, PutBytesFillingTheRoomExactlyWritesAtOnce) {
    OpenHealthyLink();
    const auto bytes = Counting(992);
    ASSERT_EQ(PutBytes(bytes.data(), 100), kLinkOk);
    EXPECT_TRUE(backend.Writes().empty());
    EXPECT_EQ(PutBytes(bytes.data() + 100, 892), kLinkOk);
    ASSERT_EQ(backend.Writes().size(), 1u);
    EXPECT_EQ(backend.Writes()[0], bytes);
    EXPECT_EQ(link().outCount, 0);
}

TEST_F(LinkFixture, PutBytesSplitsALongBlockIntoFullBuffers) {
    OpenHealthyLink();
    const auto bytes = Counting(2000);
    EXPECT_EQ(PutBytes(bytes.data(), 2000), kLinkOk);
    ASSERT_EQ(backend.Writes().size(), 2u);
    EXPECT_EQ(backend.Writes()[0], std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 992));
    EXPECT_EQ(backend.Writes()[1],
              std::vector<std::uint8_t>(bytes.begin() + 992, bytes.begin() + 1984));
    ASSERT_EQ(link().outCount, 16);
    EXPECT_TRUE(std::equal(bytes.begin() + 1984, bytes.end(), link().outBuffer));
}

TEST_F(LinkFixture, PutBytesStopsAtAFailedFlushAndDropsTheRest) {
    OpenHealthyLink();
    backend.ShortWriteNth(backend.CountOf(Call::Write) + 1);
    const auto bytes = Counting(2000);
    EXPECT_EQ(PutBytes(bytes.data(), 2000), kLinkShort);
    EXPECT_EQ(backend.Writes().size(), 1u);
    EXPECT_EQ(link().outCount, 0);
}

TEST_F(LinkFixture, PutBytesOfZeroFlushes) {
    OpenHealthyLink();
    ASSERT_EQ(PutByte(0x07), kLinkOk);
    EXPECT_EQ(PutBytes(nullptr, 0), kLinkOk);
    EXPECT_EQ(backend.Log(), (Log{"FT_Write 07"}));
}

TEST_F(LinkFixture, FlushOfAnEmptyBufferCallsNothing) {
    OpenHealthyLink();
    EXPECT_EQ(FlushLink(), kLinkOk);
    FailLink();
    EXPECT_EQ(FlushLink(), kLinkOk);
    EXPECT_TRUE(backend.Log().empty());
}

TEST_F(LinkFixture, ShortWriteReportsShortAndEmptiesTheBuffer) {
    OpenHealthyLink();
    backend.ShortWriteNth(backend.CountOf(Call::Write) + 1);
    ASSERT_EQ(PutBytes(Counting(10).data(), 10), kLinkOk);
    EXPECT_EQ(FlushLink(), kLinkShort);
    EXPECT_EQ(link().outCount, 0);
    EXPECT_EQ(link().lastStatus, FT_OK);  // a short write does not fail the link
    EXPECT_EQ(FlushLink(), kLinkOk);
    EXPECT_EQ(backend.Writes().size(), 1u);
}

TEST_F(LinkFixture, FailedWriteDropsTheBytes) {
    OpenHealthyLink();
    backend.FailNth(Call::Write, backend.CountOf(Call::Write) + 1, FT_IO_ERROR);
    ASSERT_EQ(PutBytes(Counting(10).data(), 10), kLinkOk);
    EXPECT_EQ(FlushLink(), kLinkFailed);
    EXPECT_EQ(link().outCount, 0);
}

TEST_F(LinkFixture, FailedLinkRefusesOutputWithoutDriverCalls) {
    OpenHealthyLink();
    FailLink();
    ASSERT_EQ(PutByte(0x01), kLinkOk);
    EXPECT_EQ(FlushLink(), kLinkFailed);
    EXPECT_EQ(link().outCount, 1);  // kept, not dropped
    for (int i = 1; i < 991; ++i) {
        ASSERT_EQ(PutByte(i), kLinkOk) << i;
    }
    EXPECT_EQ(PutByte(0xEE), kLinkFailed);  // fills the buffer; its flush is refused
    EXPECT_EQ(link().outCount, 992);
    EXPECT_EQ(PutByte(0xEF), kLinkFailed);
    const std::uint8_t more[3] = {1, 2, 3};
    EXPECT_EQ(PutBytes(more, 3), kLinkFailed);
    EXPECT_EQ(link().outCount, 992);
    std::uint8_t answer[4] = {};
    EXPECT_EQ(ReadBytes(answer, 4), kLinkFailed);
    EXPECT_EQ(SendLineIdle(), kLinkFailed);
    EXPECT_EQ(RecoverAdapter(), kLinkFailed);
    EXPECT_TRUE(backend.Log().empty());
}

TEST_F(LinkFixture, PutBytesOnAFailedLinkAppendsUntilFull) {
    OpenHealthyLink();
    FailLink();
    const auto bytes = Counting(1000);
    EXPECT_EQ(PutBytes(bytes.data(), 1000), kLinkFailed);
    EXPECT_EQ(link().outCount, 992);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 992, link().outBuffer));
    EXPECT_TRUE(backend.Log().empty());
}

TEST_F(LinkFixture, ReadWritesWaitingBytesFirstInOneWrite) {
    OpenHealthyLink();
    ASSERT_EQ(PutBytes(Counting(5).data(), 5), kLinkOk);
    backend.QueueRead({0xAB, 0xCD});
    std::uint8_t answer[2] = {};
    EXPECT_EQ(ReadBytes(answer, 2), kLinkOk);
    EXPECT_EQ(backend.Log(), (Log{"FT_Write 030A11181F", "FT_Read 2"}));
    EXPECT_EQ(answer[0], 0xAB);
    EXPECT_EQ(answer[1], 0xCD);
}

TEST_F(LinkFixture, ShortReadReportsShortWithTheBytesThatArrived) {
    OpenHealthyLink();
    backend.QueueRead({0x12, 0x34});
    std::uint8_t answer[3] = {0, 0, 0x99};
    EXPECT_EQ(ReadBytes(answer, 3), kLinkShort);
    EXPECT_EQ(answer[0], 0x12);
    EXPECT_EQ(answer[1], 0x34);
    EXPECT_EQ(answer[2], 0x99);
    EXPECT_EQ(link().lastStatus, FT_OK);
}

TEST_F(LinkFixture, ReadRefusesANegativeCountWithoutDriverCalls) {
    OpenHealthyLink();
    std::uint8_t answer[1] = {};
    EXPECT_EQ(ReadBytes(answer, -1), kLinkFailed);
    EXPECT_EQ(ReadBytes(nullptr, 1), kLinkFailed);
    EXPECT_TRUE(backend.Log().empty());
}

TEST_F(LinkFixture, AfterAReadErrorRecoveryAndLineIdleSendNothing) {
    OpenHealthyLink();
    backend.QueueRead({}, FT_IO_ERROR);
    std::uint8_t answer[8] = {};
    EXPECT_EQ(ReadBytes(answer, 8), kLinkFailed);
    backend.ClearLog();
    EXPECT_EQ(RecoverAdapter(), kLinkFailed);
    EXPECT_EQ(SendLineIdle(), kLinkFailed);
    EXPECT_TRUE(backend.Log().empty());
}

TEST_F(LinkFixture, AfterAShortReadRecoveryAndLineIdleRunInFull) {
    OpenHealthyLink();
    ASSERT_EQ(PutByte(0x77), kLinkOk);  // must stay in the buffer through both
    backend.QueueRead({1, 2, 3});
    std::uint8_t answer[8] = {};
    EXPECT_EQ(ReadBytes(answer, 8), kLinkShort);
    ASSERT_EQ(PutByte(0x78), kLinkOk);
    backend.ClearLog();
    EXPECT_EQ(RecoverAdapter(), kLinkOk);
    EXPECT_EQ(SendLineIdle(), kLinkOk);
    EXPECT_EQ(backend.Log(), Concat({RecoveryCalls(), {kLineIdleWrite}}));
    EXPECT_EQ(link().outCount, 1);
    EXPECT_EQ(link().outBuffer[0], 0x78);
}

TEST_F(LinkFixture, SuccessfulReadOnAnEmptyBufferEndsTheFailedState) {
    OpenHealthyLink();
    FailLink();
    backend.QueueRead({0x01});
    std::uint8_t answer[1] = {};
    EXPECT_EQ(ReadBytes(answer, 1), kLinkOk);
    EXPECT_EQ(link().lastStatus, FT_OK);
    EXPECT_EQ(SendLineIdle(), kLinkOk);
}

TEST_F(LinkFixture, SetTimeoutsIsNotRefusedOnAFailedLink) {
    OpenHealthyLink();
    FailLink();
    EXPECT_EQ(SetLinkTimeouts(1000, 500), kLinkOk);
    EXPECT_EQ(backend.Log(), (Log{"FT_SetTimeouts 1000 500"}));
    EXPECT_EQ(link().lastStatus, FT_OK);
    backend.FailNth(Call::SetTimeouts, backend.CountOf(Call::SetTimeouts) + 1, FT_IO_ERROR);
    EXPECT_EQ(SetLinkTimeouts(1, 1), kLinkFailed);
    EXPECT_EQ(link().lastStatus, FT_IO_ERROR);
}

}  // namespace
}  // namespace tarnel::test
