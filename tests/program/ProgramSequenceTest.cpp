// The programming sequence on the in-process simulator, with no window and no
// QApplication: what each step returns and what its observer is told.

#include <gtest/gtest.h>

#include <vector>

#include "SimFixture.h"
#include "link/Attach.h"
#include "program/ProgramSequence.h"
#include "report/MessageKeys.h"
#include "scan/ImageReader.h"

namespace tarnel::test {
namespace {

class RecordingObserver final : public ProgramObserver {
public:
    void StageBegins(ProgramStage stage) override { stages.push_back(stage); }
    void ProgressRange(int maximum) override { ranges.push_back(maximum); }
    void ProgressAt(int position) override { positions.push_back(position); }

    std::vector<ProgramStage> stages;
    std::vector<int> ranges;
    std::vector<int> positions;
};

class ProgramSequenceTest : public sim::test::SimFixture {
protected:
    void AttachWithFaults(const std::string& faults) {
        InstallWithFaults(faults);
        ASSERT_EQ(AttachAdapter(), 0);
        ASSERT_EQ(SetUpDebugPort(), nullptr);
    }
    RecordingObserver observer;
};

TEST_F(ProgramSequenceTest, ProgramsTheNonBlankPagesAndShowsEachStage) {
    AttachWithFaults("");
    std::vector<std::uint16_t> bootloader(kBootloaderWords, 0);
    const int highest =
        ReadWordImage(TARNEL_SIM_BOOTLOADER_IMAGE, bootloader.data(), kBootloaderWords);
    ASSERT_GE(highest, 0);
    bootloader.resize(static_cast<std::size_t>(highest) + 1);
    std::vector<std::uint16_t> flash(kFlashWords, 0xFFFF);
    flash[3 * 256 + 17] = 0x1234;
    flash[100 * 256 + 255] = 0x0000;

    EXPECT_EQ(PrepareBootloader(bootloader, observer), nullptr);
    EXPECT_EQ(ProgramFlash(FlashImage(flash.data(), kFlashWords), observer), nullptr);

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
    EXPECT_EQ(autoFlush, 1);
    EXPECT_EQ(sim().ProtocolErrorCount(), 0u);
}

TEST_F(ProgramSequenceTest, ARunCommandWhoseTransferFailsFailsTheUpload) {
    // 41 upload words fill 984 of the out buffer's 992 bytes, so the queued run command
    // fills it and sends it: the 19th write, after the attach's 3, the set-up and the 14
    // of the preparation.
    AttachWithFaults("write-error=19");
    const std::vector<std::uint16_t> bootloader(41, 0x1234);
    EXPECT_STREQ(PrepareBootloader(bootloader, observer), msg::ErrUplBoot);
    EXPECT_EQ(observer.positions.size(), bootloader.size());
}

}  // namespace
}  // namespace tarnel::test
