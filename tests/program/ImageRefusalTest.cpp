// Image files that cannot be programmed as written, through the whole Program request on
// the in-process simulator: each is refused before the adapter is opened, with exit code 2
// and the line on standard error that says why.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>

#include "SimFixture.h"
#include "program/ProgramRequest.h"
#include "report/Report.h"
#include "scan/ByteStream.h"
#include "support/WireTraceReader.h"

namespace tarnel::test {
namespace {

class SilentObserver final : public ProgramObserver {
public:
    void StageBegins(ProgramStage) override {}
    void ProgressRange(int) override {}
    void ProgressAt(int) override {}
    void Programmed(double) override {}
};

// Every word of the flash named, so that a read cut anywhere leaves words out.
std::string FullImage() {
    std::string text;
    char line[32];
    for (unsigned a = 0; a < kFlashWords; ++a) {
        std::snprintf(line, sizeof line, "@%06X %04X\n", a, (a * 7) & 0xFFFF);
        text += line;
    }
    return text;
}

class ImageRefusal : public sim::test::SimFixture {
protected:
    ~ImageRefusal() override { FailFileReadsAt(-1, 0); }

    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // Runs the request with a fresh simulator; its standard-error text goes to `said`.
    ProgramOutcome Run(const std::string& image, const std::string& bootloader,
                       bool lenient = false) {
        std::remove(trace_.c_str());
        sim::SimConfig config;
        config.tracePath = trace_;
        Install(config);
        ResetReportState();
        SilentObserver observer;
        ::testing::internal::CaptureStderr();
        const ProgramOutcome outcome =
            RunProgramRequest({{bootloader}, image, false, lenient}, observer);
        said = ::testing::internal::GetCapturedStderr();
        return outcome;
    }

    bool AdapterOpened() {
        for (const std::string& call : ReadWireTrace(trace_).calls) {
            if (call.rfind("FT_Open", 0) == 0) {
                return true;
            }
        }
        return false;
    }

    sim::test::TempDir dir_;
    std::string trace_ = (dir_ / "trace.txt").string();
    std::string said;
};

TEST_F(ImageRefusal, NothingIsProgrammedFromAnImageThatCannotBeReadAsWritten) {
    // Read first and shorter than every read-fault offset below.
    const std::string bootloader = Write("boot.ram", "@000000 1234\n");
    const std::string full = Write("full.rom", FullImage());
    ASSERT_EQ(::mkfifo((dir_ / "fifo.rom").c_str(), 0600), 0);
    const struct {
        const char* name;
        std::string image;
        std::int64_t failReadAt;  // -1: no read fault
        std::string said;         // the standard-error line, from its start
    } cases[] = {
        {"read error after 4000 bytes", full, 4000,
         "tarnel: Cannot read flash image: " + full + ": Input/output error\n"},
        {"read error 64 KiB in", full, 65536 + 13 * 3,
         "tarnel: Cannot read flash image: " + full + ": Input/output error\n"},
        {"two-digit value swallows the next record",
         Write("short.rom", "@000000 1111\n@000001 22\n@000002 2222\n@000003 3333\n"), -1,
         "tarnel: Cannot read flash image: " + (dir_ / "short.rom").string() +
             ":2: four hex digits of value expected, found a line end (2 malformed records in "
             "the file)\n"},
        {"non-hex address", Write("g.rom", "@00000G F2A7\n@000001 1111\n"), -1,
         "tarnel: Cannot read flash image: " + (dir_ / "g.rom").string() + ":1: six hex"},
        {"value cut by the end", Write("cut.rom", "@000001 1111\n@000002 12"), -1,
         "tarnel: Cannot read flash image: " + (dir_ / "cut.rom").string() + ":2: four hex"},
        {"byte addresses by mistake", Write("bytes.rom", "@008000 1111\n@010000 2222\n"), -1,
         "tarnel: Cannot read flash image: " + (dir_ / "bytes.rom").string() +
             ": no word falls inside the flash (words 0 to 32767); 2 words lie beyond it\n"},
        {"FIFO without a writer", (dir_ / "fifo.rom").string(), -1,
         "tarnel: Cannot read flash image: " + (dir_ / "fifo.rom").string() +
             ": is a FIFO, not a regular file\n"},
        {"device", "/dev/zero", -1,
         "tarnel: Cannot read flash image: /dev/zero: is a character device, not a regular "
         "file\n"},
        {"directory", dir_.operator/("").string(), -1, "tarnel: Cannot read flash image: "},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        FailFileReadsAt(tc.failReadAt, EIO);
        const ProgramOutcome outcome = Run(tc.image, bootloader);
        FailFileReadsAt(-1, 0);
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_EQ(ExitCode(), 2);
        EXPECT_EQ(said.substr(0, tc.said.size()), tc.said);
        EXPECT_FALSE(AdapterOpened());
    }
}

TEST_F(ImageRefusal, ABootloaderThatCannotBeReadAsWrittenIsRefusedToo) {
    const std::string image = Write("one.rom", "@000000 1111\n");
    ASSERT_EQ(::mkfifo((dir_ / "flash.ram").c_str(), 0600), 0);
    const std::string broken = Write("broken.ram", "@000000 12\n@000001 1234\n");
    for (const std::string& bootloader : {(dir_ / "flash.ram").string(), broken}) {
        SCOPED_TRACE(bootloader);
        EXPECT_FALSE(Run(image, bootloader).succeeded);
        EXPECT_EQ(ExitCode(), 2);
        EXPECT_EQ(said.rfind("tarnel: Cannot read bootloader image: " + bootloader, 0), 0u) << said;
        EXPECT_FALSE(AdapterOpened());
    }
}

TEST_F(ImageRefusal, LenientReadingProgramsWhatEarlierVersionsProgrammedAndSaysSo) {
    const std::string image =
        Write("short.rom", "@000000 1111\n@000001 22\n@000002 2222\n@000003 3333\n");
    const ProgramOutcome outcome = Run(image, TARNEL_SIM_BOOTLOADER_IMAGE, true);
    ASSERT_TRUE(outcome.succeeded) << said;
    EXPECT_EQ(outcome.malformedSkipped, 2u);
    EXPECT_EQ(said, "tarnel: 2 malformed records were skipped.\n");
    const auto words = sim().flash().All();
    EXPECT_EQ(words[0], 0x1111);
    EXPECT_EQ(words[1], 0xFFFF);
    EXPECT_EQ(words[2], 0xFFFF);
    EXPECT_EQ(words[3], 0x3333);
}

}  // namespace
}  // namespace tarnel::test
