// The simulated flash on disk: the exact file format, the round trip, and when the
// simulator loads and writes it.

#include <gtest/gtest.h>

#include <sstream>

#include "SimFixture.h"
#include "scan/ImageReader.h"
#include "sim/FlashFile.h"

namespace tarnel::sim::test {
namespace {

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class FlashFileTest : public SimFixture {
public:
    TempDir dir;
    std::filesystem::path flashPath = dir / "flash.rom";
};

TEST_F(FlashFileTest, SavedFileListsEveryNonBlankWordInAscendingOrder) {
    FlashArray flash;
    flash.All()[0x7FFF] = 0xABCD;
    flash.All()[0x1FF] = 0x0000;
    flash.All()[0] = 0x1234;
    ASSERT_TRUE(SaveFlashFile(flashPath.string(), flash));
    EXPECT_EQ(Contents(flashPath), "@000000 1234\n@0001FF 0000\n@007FFF ABCD\n");
}

TEST_F(FlashFileTest, RoundTripGivesTheSameFlash) {
    FlashArray flash;
    for (unsigned a = 0; a < kFlashWords; a += 7) {
        flash.All()[a] = static_cast<std::uint16_t>(a * 31);
    }
    ASSERT_TRUE(SaveFlashFile(flashPath.string(), flash));
    FlashArray loaded;
    loaded.All().fill(0x0000);  // loading must blank what the file does not name
    EXPECT_EQ(LoadFlashFile(flashPath.string(), loaded), FlashLoad::Loaded);
    EXPECT_EQ(loaded.All(), flash.All());
}

TEST_F(FlashFileTest, BlankFlashIsAnEmptyFileThatLoadsBlank) {
    FlashArray blank;
    ASSERT_TRUE(SaveFlashFile(flashPath.string(), blank));
    EXPECT_EQ(Contents(flashPath), "");
    FlashArray loaded;
    loaded.All()[5] = 0;
    EXPECT_EQ(LoadFlashFile(flashPath.string(), loaded), FlashLoad::Loaded);
    EXPECT_EQ(loaded.All(), blank.All());
}

TEST_F(FlashFileTest, MissingFileLeavesTheFlashAndRecordsBeyondItAreNoted) {
    FlashArray flash;
    flash.All()[3] = 0x0003;
    EXPECT_EQ(LoadFlashFile((dir / "none").string(), flash), FlashLoad::Missing);
    EXPECT_EQ(flash.Word(3), 0x0003);
    std::ofstream(flashPath) << "@000001 0101\n@008000 1234\n";
    EXPECT_EQ(LoadFlashFile(flashPath.string(), flash), FlashLoad::OutOfRange);
    EXPECT_EQ(flash.Word(1), 0x0101);
    EXPECT_EQ(flash.Word(3), 0xFFFF);
}

TEST_F(FlashFileTest, UnwritablePathFails) {
    EXPECT_FALSE(SaveFlashFile((dir / "no-such-dir" / "flash.rom").string(), FlashArray{}));
}

TEST_F(FlashFileTest, AdapterOpenLoadsAndCloseWritesTheFile) {
    std::ofstream(flashPath) << "@000010 00AA\n";
    Install(SimConfig{{}, flashPath.string(), ""});
    EXPECT_EQ(sim().flash().Word(0x10), 0xFFFF);  // nothing loaded before the open
    const FT_HANDLE h = OpenDevice();
    EXPECT_EQ(sim().flash().Word(0x10), 0x00AA);
    sim().flash().All()[0x20] = 0x0055;
    ASSERT_EQ(FT_Close(h), FT_OK);
    EXPECT_EQ(Contents(flashPath), "@000010 00AA\n@000020 0055\n");
}

TEST_F(FlashFileTest, ProcessEndWithTheAdapterOpenWritesTheFile) {
    Install(SimConfig{{}, flashPath.string(), ""});
    OpenDevice();
    sim().flash().All()[1] = 0x0001;
    Uninstall();
    EXPECT_EQ(Contents(flashPath), "@000001 0001\n");
}

TEST_F(FlashFileTest, ForeignDeviceDoesNotTouchTheFile) {
    Install(SimConfig{ParseFaults("foreign-first").value(), flashPath.string(), ""});
    const FT_HANDLE h = OpenDevice(0);
    ASSERT_EQ(FT_Close(h), FT_OK);
    Uninstall();
    EXPECT_FALSE(std::filesystem::exists(flashPath));
}

TEST(StandInBootloader, ImageHas2048WordsStartingWithTheSignatureAndSitsBesideTheTools) {
    for (const char* path : {TARNEL_SIM_BOOTLOADER_IMAGE, TARNEL_SIM_BIN_DIR "/flash.ram"}) {
        SCOPED_TRACE(path);
        std::vector<std::uint16_t> image(2048, 0);
        ASSERT_EQ(ReadWordImage(path, image.data(), 2048), 0x7FF);
        EXPECT_TRUE(
            std::equal(kBootloaderSignature.begin(), kBootloaderSignature.end(), image.begin()));
    }
}

}  // namespace
}  // namespace tarnel::sim::test
