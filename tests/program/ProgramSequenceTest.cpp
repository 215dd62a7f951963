// The programming sequence on the in-process simulator, with no window and no
// QApplication: what each step returns and what its observer is told.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "SimFixture.h"
#include "link/AdapterLink.h"
#include "link/Attach.h"
#include "program/ProgramRequest.h"
#include "program/ProgramSequence.h"
#include "program/StopRequest.h"
#include "program/TargetControl.h"
#include "report/MessageKeys.h"
#include "report/Report.h"
#include "scan/ImageReader.h"
#include "sim/Faults.h"

namespace tarnel::test {
namespace {

class RecordingObserver final : public ProgramObserver {
public:
    void StageBegins(ProgramStage stage) override { stages.push_back(stage); }
    void ProgressRange(int maximum) override { ranges.push_back(maximum); }
    void ProgressAt(int position) override { positions.push_back(position); }
    void Programmed(double) override {}

    std::vector<ProgramStage> stages;
    std::vector<int> ranges;
    std::vector<int> positions;
};

class ProgramSequenceTest : public sim::test::SimFixture {
protected:
    void AttachWithFaults(const std::string& faults) {
        InstallWithFaults(faults);
        ASSERT_EQ(AttachAdapter(), 0);
        ASSERT_FALSE(SetUpDebugPort());
    }
    // The stand-in bootloader, cut to its last word.
    static std::vector<std::uint16_t> StandInBootloader() {
        std::vector<std::uint16_t> words(kBootloaderWords, 0);
        const int highest =
            ReadWordImage(TARNEL_SIM_BOOTLOADER_IMAGE, words.data(), kBootloaderWords);
        words.resize(static_cast<std::size_t>(std::max(highest, 0)) + 1);
        return words;
    }
    RecordingObserver observer;
    FlashProgress progress;
};

TEST_F(ProgramSequenceTest, ProgramsTheNonBlankPagesAndShowsEachStage) {
    AttachWithFaults("");
    const std::vector<std::uint16_t> bootloader = StandInBootloader();
    const int highest = static_cast<int>(bootloader.size()) - 1;
    std::vector<std::uint16_t> flash(kFlashWords, 0xFFFF);
    flash[3 * 256 + 17] = 0x1234;
    flash[100 * 256 + 255] = 0x0000;

    EXPECT_FALSE(PrepareBootloader(bootloader, observer));
    EXPECT_FALSE(ProgramFlash(FlashImage(flash.data(), kFlashWords), observer, progress));

    EXPECT_EQ(observer.stages,
              (std::vector<ProgramStage>{ProgramStage::PreparingBootloader, ProgramStage::Erasing,
                                         ProgramStage::Flashing}));
    EXPECT_EQ(observer.ranges, (std::vector<int>{highest, 1}));
    ASSERT_EQ(observer.positions.size(), bootloader.size() + 2);
    EXPECT_EQ(observer.positions[bootloader.size() - 1], highest);
    EXPECT_EQ(observer.positions.back(), 1);
    for (std::uint32_t address = 0; address < kFlashWords; ++address) {
        ASSERT_EQ(sim().flash().Word(address), flash[address]) << "word " << address;
    }
    EXPECT_EQ(LinkAutoFlush(), 1);
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
}

TEST_F(ProgramSequenceTest, ARunCommandWhoseTransferFailsFailsTheUpload) {
    // 41 upload words fill 984 of the out buffer's 992 bytes, so the queued run command
    // fills it and sends it: the 19th write, after the attach's 3, the set-up and the 14
    // of the preparation.
    AttachWithFaults("write-error=19");
    const std::vector<std::uint16_t> bootloader(41, 0x1234);
    const StepFailure failure = PrepareBootloader(bootloader, observer);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->key, msg::ErrUplBoot);
    EXPECT_EQ(observer.positions.size(), bootloader.size());
}

TEST_F(ProgramSequenceTest, APageFailureNamesItsPage) {
    AttachWithFaults("page-error=100");
    const std::vector<std::uint16_t> bootloader = StandInBootloader();
    std::vector<std::uint16_t> flash(kFlashWords, 0xFFFF);
    flash[3 * 256] = 0x1234;
    flash[100 * 256] = 0x5678;
    ASSERT_FALSE(PrepareBootloader(bootloader, observer));

    const StepFailure failure =
        ProgramFlash(FlashImage(flash.data(), kFlashWords), observer, progress);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->key, msg::ErrPageProgram);
    EXPECT_EQ(failure->detail, "page 100");
}

std::string Hex(const sim::test::Bytes& bytes) {
    std::string hex;
    for (const std::uint8_t byte : bytes) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", byte);
        hex += digits;
    }
    return hex;
}

// A cut or failed transfer anywhere before the upload ends the whole request with the
// upload's message: a bootloader started on a target whose reset or registers did not
// arrive as sent could program wrongly and still answer. Each transfer is found by its
// bytes in a healthy run's trace, then that write is failed or cut.
TEST_F(ProgramSequenceTest, EveryTransferBeforeTheUploadEndsTheRequestWhenItFails) {
    using sim::test::ExecuteTx;
    using sim::test::WriteTx;
    sim::test::TempDir dir;
    const std::string image = (dir / "image.rom").string();
    std::ofstream(image) << "@000100 1234\n";
    const std::string trace = (dir / "wire.trace").string();

    std::vector<std::string> shown;
    struct ServiceGuard {
        MessageBoxService previous;
        ~ServiceGuard() { SetMessageBoxService(std::move(previous)); }
    } guard{SetMessageBoxService([&shown](const char* text, const char*, std::int32_t) {
        shown.emplace_back(text);
        return kButtonOk;
    })};
    const auto run = [&](const std::string& faults) {
        std::remove(trace.c_str());
        sim::SimConfig config;
        config.faults = sim::ParseFaults(faults).value_or(sim::Faults{});
        config.tracePath = trace;
        Install(config);
        ResetReportState();
        shown.clear();
        return RunProgramRequest({{TARNEL_SIM_BOOTLOADER_IMAGE}, image, false, {}}, observer);
    };
    ASSERT_TRUE(run("").succeeded);
    const std::vector<std::string> written = WrittenHex(ReadWireTrace(trace).lines);

    const struct {
        const char* name;
        sim::test::Bytes bytes;
    } transfers[] = {
        {"halt", ExecuteTx(0x02000001)},
        {"register clear", WriteTx(0x9000FF42, 0)},
        {"reset pulse high", WriteTx(0x9000FF79, 12)},
        {"reset pulse low", WriteTx(0x9000FF79, 0)},
        {"reset", ExecuteTx(0x02000000)},
        {"register FF72", WriteTx(0x9000FF72, 55)},
        {"register FF44", WriteTx(0x9000FF44, 256)},
        {"register FF47", WriteTx(0x9000FF47, 0)},
        {"register FF48", WriteTx(0x9000FF48, 0)},
        {"register FF49", WriteTx(0x9000FF49, 7)},
        {"register FF53", WriteTx(0x9000FF53, 0)},
        {"register FF54", WriteTx(0x9000FF54, 4)},
        {"register FF55", WriteTx(0x9000FF55, 3)},
        {"register FF43", WriteTx(0x9000FF43, 2)},
    };
    for (const auto& transfer : transfers) {
        const auto at = std::find(written.begin(), written.end(), Hex(transfer.bytes));
        ASSERT_NE(at, written.end()) << transfer.name << " is not a write of its own";
        const auto number = std::to_string(at - written.begin() + 1);
        for (const std::string fault : {"write-error=", "short-write="}) {
            SCOPED_TRACE(std::string(transfer.name) + ", " + fault + number);
            const ProgramOutcome outcome = run(fault + number);
            EXPECT_FALSE(outcome.succeeded);
            EXPECT_EQ(shown, std::vector<std::string>{"Error uploading bootloader"});
            EXPECT_EQ(ExitCode(), 1);
        }
    }
}

// A stop from outside ends the user's commands before their next transfer: reported with
// the stop's exit code, and the adapter let go.
TEST_F(ProgramSequenceTest, AStopEndsEachTargetCommandDetached) {
    const struct {
        const char* name;
        bool (*command)();
    } commands[] = {{"attach", &AttachTarget},
                    {"run", &RunTarget},
                    {"stop", &StopTarget},
                    {"reset", &ResetTarget}};
    for (const auto& c : commands) {
        SCOPED_TRACE(c.name);
        ClearStopRequest();
        ResetReportState();
        SetQuietMode(true);
        InstallWithFaults("");
        if (c.command != &AttachTarget) {
            ASSERT_TRUE(AttachTarget());
        }
        RequestStop(129);
        EXPECT_FALSE(c.command());
        EXPECT_EQ(ExitCode(), 129);
        EXPECT_FALSE(LinkHoldsDevice());
        EXPECT_FALSE(sim().AdapterOpen());
    }
}

}  // namespace
}  // namespace tarnel::test
