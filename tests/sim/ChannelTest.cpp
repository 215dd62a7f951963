// The debug channel as the adapter decodes it, driven by raw bytes: the encoding examples
// decode to their words, and every malformed stream is reported and reaches no target.

#include <gtest/gtest.h>

#include "SimFixture.h"

namespace tarnel::sim::test {
namespace {

class ChannelTest : public SimFixture {};

Bytes Hex(const char* text) {
    Bytes bytes;
    unsigned value = 0;
    int digits = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == ' ') {
            continue;
        }
        value = value * 16 + static_cast<unsigned>(std::stoi(std::string(1, *p), nullptr, 16));
        if (++digits == 2) {
            bytes.push_back(static_cast<std::uint8_t>(value));
            value = 0;
            digits = 0;
        }
    }
    return bytes;
}

// Each example word is sent as the 32-bit value of a word-pair write, whose halves land in
// two data words where the decoded value can be seen.
TEST_F(ChannelTest, EncodingExamplesDecodeToTheirWords) {
    const struct {
        const char* bytes;
        std::uint32_t word;
    } examples[] = {
        {"CA 30 34 30 30 30 30 30 32", 0x02000004}, {"CA 30 3C 38 30 30 30 30 38", 0x03100001},
        {"CA 30 30 30 30 30 3B 3D 37", 0x00000DBE}, {"CA 30 30 30 30 30 30 30 30", 0x00000000},
        {"CA 3F 3F 3F 3F 3F 3F 3F 3F", 0xFFFFFFFF}, {"CA 31 34 30 30 30 32 30 30", 0x82000400},
    };
    Install();
    const FT_HANDLE h = OpenAttached();
    for (const auto& e : examples) {
        SCOPED_TRACE(e.bytes);
        Send(h, Join({Hex(e.bytes), WordBytes(0x04000200), kTerminator}));
        EXPECT_EQ(sim().target().DataWord(0x200), e.word >> 16);
        EXPECT_EQ(sim().target().DataWord(0x201), e.word & 0xFFFF);
    }
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
}

TEST_F(ChannelTest, WriteClearsTheReadFlagOfTheCommandOnly) {
    Install();
    const FT_HANDLE h = OpenAttached();
    Send(h, Hex("CA 30 30 30 30 31 30 30 3C  CA 30 30 30 30 30 30 3F 38  A7 EB 8F E3 86 A3"));
    EXPECT_EQ(sim().target().DataWord(0xF1), 0x8003);
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
}

TEST_F(ChannelTest, StatusReadAnswersTheRunningFlag) {
    Install();
    const FT_HANDLE h = OpenAttached();
    const Bytes statusRead =
        Hex("CA 31 34 30 30 30 32 30 30 A7 EB 8F E3 86 A3 CA 70 70 70 70 70 70 70 70");
    Send(h, statusRead);
    EXPECT_EQ(Receive(h, 8), Hex("30 30 30 30 30 30 34 30"));  // 0x20: running
    Send(h, ExecuteTx(0x02000001));
    Send(h, statusRead);
    EXPECT_EQ(DecodeAnswer(Receive(h, 8)), 0u);
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
}

TEST_F(ChannelTest, TransactionMaySpanSeveralWrites) {
    Install();
    const FT_HANDLE h = OpenAttached();
    const Bytes tx = WriteTx(0x80000300, 0x1234);
    for (const std::uint8_t b : tx) {
        Send(h, {b});
    }
    EXPECT_EQ(sim().target().DataWord(0x300), 0x1234);
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
}

struct Malformed {
    const char* what;
    Bytes bytes;  // sent after an attach and the debug-port set-up
    const char* message;
};

TEST_F(ChannelTest, MalformedStreamsAreReportedAndReachNoTarget) {
    const Malformed cases[] = {
        {"unknown byte", {0x55}, "unknown byte 0x55"},
        {"nibble byte outside a word", {0x38}, "unknown byte 0x38"},
        {"word cut short", Join({Hex("CA 30 30"), kTerminator}),
         "word cut short after 2 of 8 nibble bytes by byte 0xA7"},
        {"terminator cut short", Join({WordBytes(0x02000001), Hex("A7 EB 8F"), WordBytes(1)}),
         "terminator cut short after 3 of 6 bytes by byte 0xCA"},
        {"nibbles mixed with answer requests", Hex("CA 30 70 30 30 30 30 30 30"),
         "word cut short after 1 of 8 nibble bytes by byte 0x70"},
        {"terminator without a word", kTerminator, "terminator without a word"},
        {"three words", Join({WordBytes(1), WordBytes(2), WordBytes(0x02000001), kTerminator}),
         "third word"},
        {"read without answer request", Join({WordBytes(0x82000400), kTerminator, WordBytes(1)}),
         "not followed by an answer request"},
        {"answer request without a read", kAnswerRequest, "answer request without a read"},
        {"answer request inside a transaction", Join({WordBytes(0x82000400), kAnswerRequest}),
         "cut short by an answer request"},
        {"write with the read flag", Join({WordBytes(5), WordBytes(0x80000300), kTerminator}),
         "read flag must be clear"},
        {"unknown execute", ExecuteTx(0x02000007), "no such execute command"},
        {"execute of a memory word", ExecuteTx(0x00000300), "no such execute command"},
        {"unknown space", WriteTx(0x05000000, 1), "no such write command"},
        {"value wider than a word", WriteTx(0x80000300, 0x10000), "wider than a 16-bit word"},
        {"register outside 0xFFxx", WriteTx(0x90000042, 1), "outside 0xFF00..0xFFFF"},
        {"address beyond 16 bits", WriteTx(0x80010000, 1), "beyond the 16-bit word space"},
        {"program memory while running", WriteTx(0x81000000, 1), "while the target runs"},
        {"set-up with another value", WriteTx(0x03100001, 0x0DBF), "debug-port set-up with"},
        {"reset without the pulse", ExecuteTx(0x02000000), "without the reset-control pulse"},
        {"unknown read", ReadTx(0x82000401), "no such read command"},
        {"probe while attached", {0xD0}, "probe byte while attached"},
        {"attach twice", kAttach, "attach bytes while attached"},
        {"detach inside a transaction", Join({WordBytes(1), kDetach}),
         "without its terminator, cut short by detach bytes"},
    };
    for (const Malformed& c : cases) {
        SCOPED_TRACE(c.what);
        Install();
        const FT_HANDLE h = OpenAttached();
        Send(h, c.bytes);
        ASSERT_GE(sim().ProtocolErrorCount(), 1u);
        EXPECT_NE(sim().ProtocolErrors()[0].find(c.message), std::string::npos)
            << sim().ProtocolErrors()[0];
        // Nothing reached memory, the target still runs, and no answer was clocked back.
        EXPECT_EQ(sim().target().DataWord(0x300), DataCanary(0x300));
        EXPECT_EQ(sim().target().ProgramWord(0), ProgramCanary(0));
        EXPECT_TRUE(sim().target().Running());
        EXPECT_EQ(sim().adapter().Queued(), 0u);
    }
}

TEST_F(ChannelTest, ChannelTrafficOutsideAnAttachIsReported) {
    Install();
    FT_HANDLE h = OpenDevice();
    FT_SetTimeouts(h, 1000, 1000);
    Send(h, kLineIdleBytes);
    Send(h, WriteTx(0x03100001, 0x0DBE));
    EXPECT_EQ(sim().ProtocolErrorCount(), 3u);  // two words and the terminator
    EXPECT_NE(sim().ProtocolErrors()[0].find("while not attached"), std::string::npos);
    EXPECT_FALSE(sim().target().SetUp());

    Send(h, Join({kAttach, WriteTx(0x03100001, 0x0DBE), kDetach}));
    const std::size_t before = sim().ProtocolErrorCount();
    Send(h, ExecuteTx(0x02000001));
    EXPECT_GT(sim().ProtocolErrorCount(), before);
    EXPECT_TRUE(sim().target().Running());  // the halt after the detach did not arrive
    Send(h, kDetach);
    EXPECT_EQ(sim().ProtocolErrors().back(), "detach bytes while not attached");
}

TEST_F(ChannelTest, CommandsNeedTheSetUpAfterEachAttach) {
    Install();
    const FT_HANDLE h = OpenAttached(/*setUp=*/false);
    Send(h, ExecuteTx(0x02000001));
    ASSERT_EQ(sim().ProtocolErrorCount(), 1u);
    EXPECT_NE(sim().ProtocolErrors()[0].find("before the debug-port set-up"), std::string::npos);
    EXPECT_TRUE(sim().target().Running());

    Send(h, WriteTx(0x03100001, 0x0DBE));
    Send(h, ExecuteTx(0x02000001));
    EXPECT_FALSE(sim().target().Running());
    // A new attach needs a new set-up.
    Send(h, Join({kDetach, kAttach, ExecuteTx(0x02000004)}));
    EXPECT_EQ(sim().ProtocolErrorCount(), 2u);
    EXPECT_FALSE(sim().target().Running());
}

TEST_F(ChannelTest, AttachNeedsTheLineIdleSequenceFirst) {
    Install();
    const FT_HANDLE h = OpenDevice();
    Send(h, kAttach);
    ASSERT_EQ(sim().ProtocolErrorCount(), 1u);
    EXPECT_EQ(sim().ProtocolErrors()[0], "attach bytes before the line-idle sequence");
}

TEST_F(ChannelTest, ChannelAfterAPulseNeedsTheLineIdleSequence) {
    Install();
    const FT_HANDLE h = OpenAttached();
    SendRecoveryPulse(h);
    Send(h, Join({kLineIdleBytes, ExecuteTx(0x02000001)}));
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
    SendRecoveryPulse(h);
    Send(h, ExecuteTx(0x02000004));
    ASSERT_EQ(sim().ProtocolErrorCount(), 1u);
    EXPECT_NE(sim().ProtocolErrors()[0].find("without the line-idle sequence"), std::string::npos);
}

TEST_F(ChannelTest, CloseReportsWhatWasLeftOpen) {
    Install();
    FT_HANDLE h = OpenAttached();
    Send(h, Hex("CA 30 30"));
    ASSERT_EQ(FT_Close(h), FT_OK);
    ASSERT_EQ(sim().ProtocolErrorCount(), 2u);
    EXPECT_NE(sim().ProtocolErrors()[0].find("word cut short"), std::string::npos);
    EXPECT_EQ(sim().ProtocolErrors()[1], "device closed while attached (no detach bytes)");
}

}  // namespace
}  // namespace tarnel::sim::test
