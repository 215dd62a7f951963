// The D2XX backend in this process, over a library loaded at run time: the stand-in D2XX
// library built from the simulator (ftd2xx.dll under Wine, libftd2xx.so on Linux), and
// libraries that cannot serve as the driver.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/D2xxBackend.h"
#include "platform/DriverBackend.h"
#include "platform/Sleep.h"
#include "program/ProgramRequest.h"
#include "report/Report.h"
#include "scan/ImageReader.h"
#include "support/Portable.h"
#include "support/ProcessGlobals.h"

namespace tarnel::test {
namespace {

class ProgramObserverStub final : public ProgramObserver {
public:
    void StageBegins(ProgramStage) override {}
    void ProgressRange(int) override {}
    void ProgressAt(int) override {}
    void Programmed(double) override {}
};

std::vector<std::uint16_t> ReadImage(const std::string& path, std::uint32_t words,
                                     std::uint16_t blank, int& highest) {
    std::vector<std::uint16_t> image(words, blank);
    highest = ReadWordImage(path, image.data(), words);
    return image;
}

class D2xxBackendTest : public ::testing::Test {
protected:
    D2xxBackendTest() {
        SetSleepFunction([](unsigned) {});
    }
    ~D2xxBackendTest() override {
        InstallDriverBackend(nullptr);  // unloads the library, which closes its files
        UnsetEnvironment("TARNEL_SIM_FLASH");
        UnsetEnvironment("TARNEL_SIM_TRACE");
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    ProcessGlobalsScope globals;
    const std::filesystem::path dir = MakeTemporaryDirectory("tarnel-d2xx-");
};

TEST_F(D2xxBackendTest, TheStandInLibraryProgramsTheDemoImageExactly) {
    ASSERT_FALSE(dir.empty());
    const std::string flashFile = (dir / "flash.rom").string();
    const std::string traceFile = (dir / "trace").string();
    // Read by the library at its first call.
    SetEnvironment("TARNEL_SIM_FLASH", flashFile);
    SetEnvironment("TARNEL_SIM_TRACE", traceFile);
    std::string error = "unchanged";
    auto backend = LoadD2xxBackend(TARNEL_D2XX_STAND_IN, error);
    ASSERT_NE(backend, nullptr) << error;
    EXPECT_EQ(error, "");
    InstallDriverBackend(std::move(backend));

    ProgramObserverStub observer;
    const ProgramOutcome outcome = RunProgramRequest(
        {.bootloaderPlaces = {TARNEL_SIM_BOOTLOADER_IMAGE}, .imagePath = TARNEL_DEMO_IMAGE},
        observer);
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(ExitCode(), 0);
    InstallDriverBackend(nullptr);

    int highest = 0;
    const std::vector<std::uint16_t> image =
        ReadImage(TARNEL_DEMO_IMAGE, kFlashWords, 0xFFFF, highest);
    ASSERT_GE(highest, 0);
    EXPECT_EQ(ReadImage(flashFile, kFlashWords, 0xFFFF, highest), image);
    std::ifstream trace(traceFile, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(trace)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.rfind("FT_CreateDeviceInfoList -> 0 1\n", 0), 0u);
    EXPECT_EQ(text.find("# protocol error"), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST_F(D2xxBackendTest, ALibraryThatCannotServeIsNamedWithTheReason) {
    struct Case {
        const char* name;
        std::string library;
        std::vector<std::string> said;
    };
    const std::string missing = (dir / "no-such-library").string();
    const Case cases[] = {
#ifdef _WIN32
        {"missing", missing, {"cannot load the D2XX library " + missing + ": ", "(error 126)"}},
        {"not the driver",
         "kernel32.dll",
         {"the D2XX library kernel32.dll has no function FT_ListDevices"}},
#else
        {"missing",
         missing,
         {"cannot load the D2XX library " + missing + ": ", "No such file or directory"}},
        {"not the driver",
         "libm.so.6",
         {"the D2XX library libm.so.6 has no function FT_ListDevices"}},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_EQ(LoadD2xxBackend(c.library, error), nullptr);
        for (const std::string& text : c.said) {
            EXPECT_NE(error.find(text), std::string::npos) << error;
        }
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace tarnel::test
