// The simulator driven through the link, attach and channel functions, with the sequences
// that the tool sends: attach and detach, reset, the bootloader upload and the mailbox.

#include <gtest/gtest.h>

#include <array>

#include "SimFixture.h"
#include "eice/Eice.h"
#include "link/Attach.h"
#include "scan/ImageReader.h"

namespace tarnel::sim::test {
namespace {

using Page = std::array<std::uint16_t, kPageWords>;

Page Pattern(std::uint16_t seed) {
    Page page{};
    for (unsigned j = 0; j < kPageWords; ++j) {
        page[j] = static_cast<std::uint16_t>(seed ^ (j * 0x0101u));
    }
    return page;
}

std::vector<std::uint16_t> StandInBootloader() {
    std::vector<std::uint16_t> image(2048, 0);
    const int highest = ReadWordImage(TARNEL_SIM_BOOTLOADER_IMAGE, image.data(), 2048);
    EXPECT_EQ(highest, 0x7FF);
    return image;
}

class ProgrammingTest : public SimFixture {
public:
    void Attach() {
        ASSERT_EQ(AttachAdapter(), 0);
        ASSERT_EQ(EiceWrite(CmdSetup, SetupValue), 0);
    }
    void HaltAndReset() {
        EiceExecute(CmdHalt);
        EiceWrite(CmdRegister + 0xFF42, 0);
        EiceWrite(CmdRegister + 0xFF79, 12);
        EiceWrite(CmdRegister + 0xFF79, 0);
        EiceExecute(CmdReset);
    }
    void Upload(const std::vector<std::uint16_t>& words) {
        HaltAndReset();
        const std::pair<unsigned, std::uint32_t> registers[] = {
            {0xFF72, 55}, {0xFF44, 256}, {0xFF47, 0}, {0xFF48, 0}, {0xFF49, 7},
            {0xFF53, 0},  {0xFF54, 4},   {0xFF55, 3}, {0xFF43, 2}};
        for (const auto& [reg, value] : registers) {
            EiceWrite(CmdRegister + reg, value);
        }
        SetLinkAutoFlush(0);
        for (std::uint32_t i = 0; i < words.size(); ++i) {
            ASSERT_EQ(EiceWrite(CmdProgramWord | i, words[i]), 0);
        }
        ASSERT_EQ(EiceExecute(CmdRun), 0);
        SetLinkAutoFlush(1);
    }
    // Writes the command and polls; the answers of every poll, in order.
    std::vector<std::uint32_t> Mailbox(std::uint16_t command, int polls = 10) {
        std::vector<std::uint32_t> answers;
        EXPECT_EQ(EiceWrite(CmdDataWord + 0xF1, command), 0);
        for (int i = 0; i < polls; ++i) {
            std::uint32_t answer = 0;
            EXPECT_EQ(EiceRead(CmdDataWord + 0xF1, answer), 0);
            answers.push_back(answer);
            if ((answer & 0x8000) == 0) {
                break;
            }
        }
        return answers;
    }
    std::uint32_t Program(unsigned page, const Page& words) {
        const int saved = LinkAutoFlush();
        SetLinkAutoFlush(0);
        EiceWrite(CmdDataWord + 0xF2, page);
        EiceWrite(CmdDataWord + 0xF3, words[0]);
        for (unsigned j = 1; j <= 253; j += 2) {
            EiceWrite(CmdDataPair | (0xF3 + j), (std::uint32_t{words[j]} << 16) | words[j + 1]);
        }
        EiceWrite(CmdDataWord + 0x1F2, words[255]);
        lastPolls = Mailbox(0x8001);
        SetLinkAutoFlush(saved);
        return lastPolls.back();
    }
    std::vector<std::uint32_t> lastPolls;  // the answers of the last page command's polls

    Page FlashPage(unsigned page) {
        Page words{};
        for (unsigned j = 0; j < kPageWords; ++j) {
            words[j] = sim().flash().Word(page * kPageWords + j);
        }
        return words;
    }
    void StartBootloader() {
        Attach();
        Upload(StandInBootloader());
        ASSERT_EQ(EiceFlush(), 0);  // the run command waits in the out buffer until then
        ASSERT_EQ(sim().target().CurrentProgram(), Target::Program::Bootloader);
    }
};

TEST_F(ProgrammingTest, AttachThenDetachPutsTheFixedBytesOnTheWire) {
    TempDir dir;
    Install(SimConfig{{}, "", (dir / "trace").string()});
    ASSERT_EQ(AttachAdapter(), 0);
    EXPECT_TRUE(sim().adapter().Attached());
    ASSERT_EQ(DetachAdapter(), 0);
    EXPECT_EQ(tarnel::test::CallsNamed(tarnel::test::ReadWireTrace(dir / "trace").lines,
                                       {"FT_Write", "FT_Close"}),
              (std::vector<std::string>{"FT_Write D0 -> 0 1", "FT_Write 80C0E0A0A8B0 -> 0 6",
                                        "FT_Write A3E3 -> 0 2", "FT_Write E0A0 -> 0 2",
                                        "FT_Write 80C0E0A0A8B0 -> 0 6", "FT_Close -> 0"}));
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
    EXPECT_FALSE(sim().AdapterOpen());
}

TEST_F(ProgrammingTest, SilentAdapterIsRecoveredByTheLinkOnlyWhenOnePulseSuffices) {
    InstallWithFaults("silent-probe=1");
    EXPECT_EQ(AttachAdapter(), 0);
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
    Uninstall();
    ResetLink();
    InstallWithFaults("silent-probe=2");
    EXPECT_NE(AttachAdapter(), 0);
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
}

TEST_F(ProgrammingTest, ResetKeepsARunningTargetRunningAndAHaltedOneHalted) {
    Install();
    Attach();
    std::uint32_t status = 0;
    ASSERT_EQ(EiceRead(CmdStatus, status), 0);
    EXPECT_EQ(status & RunningFlag, RunningFlag);
    HaltAndReset();
    EXPECT_FALSE(sim().target().Running());
    ASSERT_EQ(EiceRead(CmdStatus, status), 0);
    EXPECT_EQ(status & RunningFlag, 0u);
    EXPECT_EQ(EiceExecute(CmdRun), 0);
    EXPECT_TRUE(sim().target().Running());
    EXPECT_EQ(sim().target().CurrentProgram(), Target::Program::Application);
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
}

TEST_F(ProgrammingTest, UnwrittenMemoryReadsAsTheCanary) {
    Install();
    Attach();
    Upload({0x1111, 0x2222});
    std::uint32_t word = 0;
    ASSERT_EQ(EiceRead(CmdProgramWord | 1, word), 0);
    EXPECT_EQ(word, 0x2222u);
    ASSERT_EQ(EiceRead(CmdProgramWord | 2, word), 0);
    EXPECT_EQ(word, ProgramCanary(2));
    ASSERT_EQ(EiceRead(CmdDataWord | 0x400, word), 0);
    EXPECT_EQ(word, DataCanary(0x400));
    EXPECT_NE(word, 0u);
    EXPECT_NE(word, 0xFFFFu);
}

TEST_F(ProgrammingTest, WholeProgrammingRunEndsWithTheImageInFlash) {
    Install();
    StartBootloader();
    EXPECT_EQ(Mailbox(0x8003), std::vector<std::uint32_t>{1});
    EXPECT_EQ(Program(0, Pattern(0x1234)), 1u);
    EXPECT_EQ(Program(100, Pattern(0x0042)), 1u);
    EXPECT_EQ(FlashPage(0), Pattern(0x1234));
    EXPECT_EQ(FlashPage(100), Pattern(0x0042));
    Page blank{};
    blank.fill(0xFFFF);
    EXPECT_EQ(FlashPage(1), blank);
    // Restart: the bootloader gives way to the programmed application.
    EiceExecute(CmdHalt);
    EiceWrite(CmdRegister + 0xFF79, 12);
    EiceWrite(CmdRegister + 0xFF79, 0);
    EiceExecute(CmdReset);
    EiceExecute(CmdRun);
    EXPECT_TRUE(sim().target().Running());
    EXPECT_EQ(sim().target().CurrentProgram(), Target::Program::Application);
    ASSERT_EQ(DetachAdapter(), 0);
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u) << sim().ProtocolErrors().front();
}

TEST_F(ProgrammingTest, ProgrammingOnlyClearsBitsAndFailsAtAWordThatNeedsASetBit) {
    Install();
    StartBootloader();
    Mailbox(0x8003);
    Page first{};
    first.fill(0x0F0F);
    ASSERT_EQ(Program(3, first), 1u);
    Page subset{};
    subset.fill(0x0F00);  // clears more bits: fine without an erase
    ASSERT_EQ(Program(3, subset), 1u);
    EXPECT_EQ(FlashPage(3), subset);

    Page conflicting = subset;
    conflicting[10] = 0x00F0;  // needs bits that are 0 now
    conflicting[11] = 0x0000;
    EXPECT_EQ(Program(3, conflicting), 2u);
    EXPECT_EQ(sim().flash().Word(3 * 256 + 9), 0x0F00);
    EXPECT_EQ(sim().flash().Word(3 * 256 + 10), 0x0000);  // old AND data
    EXPECT_EQ(sim().flash().Word(3 * 256 + 11), 0x0F00);  // not reached
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
}

TEST_F(ProgrammingTest, AnyOtherUploadedProgramNeverAnswers) {
    Install();
    Attach();
    Upload({0xB007, 0x10AD, 0x5EED, 0x0000});  // one word short of the signature
    ASSERT_EQ(EiceFlush(), 0);
    EXPECT_EQ(sim().target().CurrentProgram(), Target::Program::Unknown);
    EXPECT_EQ(Mailbox(0x8003), std::vector<std::uint32_t>(10, 0x8003));
    EXPECT_EQ(sim().flash().Word(0), 0xFFFF);
}

TEST_F(ProgrammingTest, BusyPollsHoldEachAnswerBack) {
    InstallWithFaults("busy-polls=3");
    StartBootloader();
    EXPECT_EQ(Mailbox(0x8003), (std::vector<std::uint32_t>{0x8003, 0x8003, 0x8003, 1}));
    EXPECT_EQ(Program(9, Pattern(9)), 1u);
    EXPECT_EQ(lastPolls, (std::vector<std::uint32_t>{0x8001, 0x8001, 0x8001, 1}));
    EXPECT_EQ(FlashPage(9), Pattern(9));
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
}

TEST_F(ProgrammingTest, EraseBusyNeverFinishes) {
    InstallWithFaults("erase-busy");
    StartBootloader();
    EXPECT_EQ(Mailbox(0x8003, 50), std::vector<std::uint32_t>(50, 0x8003));
}

TEST_F(ProgrammingTest, EraseErrorAnswersTwoAndLeavesTheFlash) {
    InstallWithFaults("erase-error");
    sim().flash().All()[77] = 0x1234;
    StartBootloader();
    EXPECT_EQ(Mailbox(0x8003), std::vector<std::uint32_t>{2});
    EXPECT_EQ(sim().flash().Word(77), 0x1234);
}

TEST_F(ProgrammingTest, PageErrorFailsOnlyThatPage) {
    InstallWithFaults("page-error=5");
    StartBootloader();
    Mailbox(0x8003);
    EXPECT_EQ(Program(5, Pattern(1)), 2u);
    EXPECT_EQ(sim().flash().Word(5 * 256), 0xFFFF);
    EXPECT_EQ(Program(6, Pattern(1)), 1u);
    EXPECT_EQ(FlashPage(6), Pattern(1));
}

TEST_F(ProgrammingTest, MailboxWrittenWhileBusyIsReported) {
    InstallWithFaults("busy-polls=2");
    StartBootloader();
    EiceWrite(CmdDataWord + 0xF1, 0x8003);
    std::uint32_t answer = 0;
    EiceRead(CmdDataWord + 0xF1, answer);
    EiceWrite(CmdDataWord + 0xF2, 7);
    ASSERT_EQ(sim().ProtocolErrorCount(), 1u);
    EXPECT_NE(sim().ProtocolErrors()[0].find("while the bootloader is busy"), std::string::npos);
}

TEST_F(ProgrammingTest, ShortAnswerIsRepairedByRecoveryAndLineIdle) {
    InstallWithFaults("short-read=2");  // the first read is the probe
    Attach();
    std::uint32_t status = 0xABCD;
    EXPECT_NE(EiceRead(CmdStatus, status), 0);
    EXPECT_EQ(status, 0xABCDu);
    ASSERT_EQ(EiceRead(CmdStatus, status), 0);  // the stale answer byte was purged
    EXPECT_EQ(status, RunningFlag);
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
}

}  // namespace
}  // namespace tarnel::sim::test
