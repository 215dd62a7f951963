// The debug command channel: word encoding, answer decoding, transactions, batching and
// the repair after a failed read.

#include "eice/Eice.h"
#include "link/LinkFixture.h"

namespace tarnel::test {
namespace {

const std::string kTerminator = "A7EB8FE386A3";
const std::string kAnswerRequest = "CA7070707070707070";

class EiceTest : public LinkFixture {
protected:
    void SetUp() override {
        OpenHealthyLink();
        SetLinkAutoFlush(1);
    }
    // The bytes a read reply carries for word, with the given high nibble on every byte.
    static std::vector<std::uint8_t> Reply(std::uint32_t word, std::uint8_t high = 0x30) {
        std::vector<std::uint8_t> bytes;
        for (int n = 7; n >= 0; --n) {
            bytes.push_back(
                static_cast<std::uint8_t>(high | NibbleReverse[(word >> (4 * n)) & 0xF]));
        }
        return bytes;
    }
};

struct Encoding {
    std::uint32_t word;
    const char* bytes;
};

class EiceEncodingTest : public EiceTest, public ::testing::WithParamInterface<Encoding> {};

TEST_P(EiceEncodingTest, WordIsMarkerAndEightReversedNibbles) {
    ASSERT_EQ(EiceSendWord(GetParam().word), 0);
    ASSERT_EQ(EiceFlush(), 0);
    EXPECT_EQ(backend.Log(), (Log{std::string("FT_Write ") + GetParam().bytes}));
}

INSTANTIATE_TEST_SUITE_P(Words, EiceEncodingTest,
                         ::testing::Values(Encoding{0x02000004u, "CA3034303030303032"},
                                           Encoding{0x03100001u, "CA303C383030303038"},
                                           Encoding{0x00000DBEu, "CA30303030303B3D37"},
                                           Encoding{0x00000000u, "CA3030303030303030"},
                                           Encoding{0xFFFFFFFFu, "CA3F3F3F3F3F3F3F3F"},
                                           Encoding{0x12345678u, "CA38343C323A363E31"}));

struct Decoding {
    std::vector<std::uint8_t> reply;
    std::uint32_t word;
};

void PrintTo(const Decoding& d, std::ostream* os) {
    *os << Hex(d.reply);
}

class EiceDecodingTest : public EiceTest, public ::testing::WithParamInterface<Decoding> {};

TEST_P(EiceDecodingTest, LowNibblesReversedGiveTheAnswer) {
    backend.QueueRead(GetParam().reply);
    std::uint32_t answer = 0xDEADBEEF;
    ASSERT_EQ(EiceReceiveWord(answer), 0);
    EXPECT_EQ(answer, GetParam().word);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, EiceDecodingTest,
    ::testing::Values(Decoding{{0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x38}, 0x00000001u},
                      Decoding{{0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0x78}, 0x00000001u},
                      Decoding{{0x38, 0x34, 0x3C, 0x32, 0x3A, 0x36, 0x3E, 0x31}, 0x12345678u},
                      Decoding{{0x0F, 0x1F, 0x2F, 0x3F, 0x4F, 0x5F, 0x6F, 0x7F}, 0xFFFFFFFFu},
                      Decoding{{0x39, 0x35, 0x3D, 0x33, 0x3F, 0x30, 0x38, 0x34}, 0x9ABCF012u}));

TEST_F(EiceTest, WriteSendsValueThenCommandWithoutReadFlagThenTerminator) {
    EXPECT_EQ(EiceWrite(0x800000F1u, 0x8003u), 0);
    EXPECT_EQ(backend.Log(), (Log{"FT_Write CA303030303130303C"
                                  "CA3030303030303F38" +
                                  kTerminator}));
}

TEST_F(EiceTest, ExecuteSendsCommandUnchangedAndFlushes) {
    EXPECT_EQ(EiceExecute(CmdRun), 0);
    EXPECT_EQ(backend.Log(), (Log{"FT_Write CA3034303030303032" + kTerminator}));
    EXPECT_EQ(EiceExecute(0x82000001u), 0);  // bit 31 kept
    EXPECT_EQ(backend.Log().back(), "FT_Write CA3134303030303038" + kTerminator);
}

TEST_F(EiceTest, ReadOfStatusPutsTwentyFourBytesThenReadsEight) {
    backend.QueueRead(Reply(0x25));
    std::uint32_t answer = 0;
    EXPECT_EQ(EiceRead(CmdStatus, answer), 0);
    EXPECT_EQ(backend.Log(),
              (Log{"FT_Write CA3134303030323030" + kTerminator + kAnswerRequest, "FT_Read 8"}));
    EXPECT_EQ(answer, 0x25u);
}

TEST_F(EiceTest, ReadKeepsTheReadFlagOfItsCommand) {
    backend.QueueRead(Reply(0x1));
    std::uint32_t answer = 0;
    EXPECT_EQ(EiceRead(0x800000F1u, answer), 0);
    EXPECT_EQ(backend.Log().front(), "FT_Write CA3130303030303F38" + kTerminator + kAnswerRequest);
}

TEST_F(EiceTest, WithoutAutoFlushTransactionsWaitForTheNextRead) {
    SetLinkAutoFlush(0);
    ASSERT_EQ(EiceWrite(CmdRegister + 0xFF79, 12), 0);
    ASSERT_EQ(EiceExecute(CmdHalt), 0);
    EXPECT_TRUE(backend.Log().empty());
    backend.QueueRead(Reply(7));
    std::uint32_t answer = 0;
    ASSERT_EQ(EiceRead(CmdStatus, answer), 0);
    const std::string write =
        "CA3030303030303033"
        "CA383030303F3F3E39" +
        kTerminator;
    const std::string execute = "CA3034303030303038" + kTerminator;
    const std::string read = "CA3134303030323030" + kTerminator + kAnswerRequest;
    EXPECT_EQ(backend.Log(), (Log{"FT_Write " + write + execute + read, "FT_Read 8"}));
    EXPECT_EQ(answer, 7u);
}

TEST_F(EiceTest, BatchedWritesGoOutWhenTheBufferFills) {
    SetLinkAutoFlush(0);
    for (int i = 0; i < 41; ++i) {
        ASSERT_EQ(EiceWrite(CmdDataPair + 0xF4 + 2 * static_cast<unsigned>(i), 0x12345678u), 0);
    }
    EXPECT_TRUE(backend.Writes().empty());  // 41 writes of 24 bytes: 984 waiting
    ASSERT_EQ(EiceWrite(CmdDataPair + 0x146, 0x12345678u), 0);
    ASSERT_EQ(backend.Writes().size(), 1u);
    EXPECT_EQ(backend.Writes()[0].size(), 992u);
    EXPECT_EQ(link().outCount, 42 * 24 - 992);
    ASSERT_EQ(EiceFlush(), 0);
    ASSERT_EQ(backend.Writes().size(), 2u);
    // The tail of the 42nd write: the last value byte, the command, the terminator.
    EXPECT_EQ(Hex(backend.Writes()[1]),
              "31"
              "CA3032303030383236" +
                  kTerminator);
}

TEST_F(EiceTest, AFailingPutEndsTheTransactionAtOnce) {
    SetLinkAutoFlush(0);
    std::vector<std::uint8_t> filler(985, 0x55);
    ASSERT_EQ(PutBytes(filler.data(), 985), kLinkOk);
    backend.FailNth(Call::Write, backend.CountOf(Call::Write) + 1, FT_IO_ERROR);
    // The 7th byte of the value word fills the buffer; its flush fails.
    EXPECT_EQ(EiceWrite(CmdDataWord + 0xF1, 0x8003u), 1);
    EXPECT_EQ(backend.Writes().size(), 1u);
    EXPECT_EQ(link().outCount, 0);  // nothing of the transaction was put after the failure
}

TEST_F(EiceTest, ShortReadRepairsTheAdapterAndLeavesTheAnswer) {
    backend.QueueRead({0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30});
    std::uint32_t answer = 0xCAFEF00D;
    EXPECT_EQ(EiceRead(CmdStatus, answer), 1);
    EXPECT_EQ(answer, 0xCAFEF00Du);
    const Log& log = backend.Log();
    ASSERT_EQ(log.size(), 2 + RecoveryCalls().size() + 1);
    EXPECT_EQ(log[1], "FT_Read 8");
    EXPECT_EQ(Log(log.begin() + 2, log.end()), Concat({RecoveryCalls(), {kLineIdleWrite}}));
}

TEST_F(EiceTest, FailedReadSendsNoRepairOnAFailedLink) {
    backend.QueueRead({}, FT_IO_ERROR);
    std::uint32_t answer = 3;
    EXPECT_EQ(EiceRead(CmdStatus, answer), 1);
    EXPECT_EQ(answer, 3u);
    EXPECT_EQ(backend.Log().size(), 2u);  // the request and the read, nothing after
    // The failed link refuses every later transaction that has to reach the driver.
    EXPECT_EQ(EiceExecute(CmdRun), 1);
    EXPECT_EQ(EiceRead(CmdStatus, answer), 1);
    EXPECT_EQ(backend.Log().size(), 2u);
}

TEST_F(EiceTest, ShortTransfersBecomeFailures) {
    backend.ShortWriteNth(backend.CountOf(Call::Write) + 1);
    EXPECT_EQ(EiceWrite(CmdSetup, SetupValue), 1);
    SetLinkAutoFlush(0);
    ASSERT_EQ(EiceExecute(CmdRun), 0);
    backend.ShortWriteNth(backend.CountOf(Call::Write) + 1);
    EXPECT_EQ(EiceFlush(), 1);
    ASSERT_EQ(EiceExecute(CmdRun), 0);
    std::vector<std::uint8_t> filler(992 - 15 - 1, 0);
    ASSERT_EQ(PutBytes(filler.data(), static_cast<int>(filler.size())), kLinkOk);
    backend.ShortWriteNth(backend.CountOf(Call::Write) + 1);
    EXPECT_EQ(EiceSendTerminator(), 1);  // fills the buffer, the write is short
}

}  // namespace
}  // namespace tarnel::test
