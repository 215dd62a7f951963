// tarnel-cli over the D2XX library loaded at run time: the stand-in library built from the
// simulator in place of the vendor's (libftd2xx.so on Linux, ftd2xx.dll under Wine).
// Whole runs of a copy of tarnel-cli with the stand-in bootloader beside it, checked by
// exit status, flash and what the tool says on standard error.

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "scan/ImageReader.h"
#include "support/Portable.h"
#include "support/SimProcess.h"

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;

class CliD2xx : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder.empty());
        fs::copy_file(TARNEL_CLI_TOOL, tool);
        fs::copy_file(TARNEL_SIM_BOOTLOADER_IMAGE, folder / "flash.ram");
        SetEnvironment("TARNEL_DRIVER", "d2xx");
        SetEnvironment("TARNEL_D2XX_LIBRARY", TARNEL_D2XX_STAND_IN);
    }
    void TearDown() override {
        UnsetEnvironment("TARNEL_DRIVER");
        UnsetEnvironment("TARNEL_D2XX_LIBRARY");
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    SimRunResult Run(std::vector<std::string> arguments, const std::string& faults = "") {
        SimRunRequest request;
        request.executable = tool.string();
        request.arguments = std::move(arguments);
        request.faults = faults;
        request.timeout = std::chrono::seconds(30);
        return RunTarnelSim(request);
    }

    const fs::path folder = MakeTemporaryDirectory("tarnel-cli-");
    const fs::path tool = folder / fs::path(TARNEL_CLI_TOOL).filename();
};

TEST_F(CliD2xx, ProgramsTheDemoImageExactly) {
    std::vector<std::uint16_t> expected(32768, 0xFFFF);
    ASSERT_GE(ReadWordImage(TARNEL_DEMO_IMAGE, expected.data(), 32768), 0);

    const SimRunResult run = Run({TARNEL_DEMO_IMAGE});

    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(run.flash, expected);
    EXPECT_TRUE(run.protocolErrors.empty());
    // Not a terminal: no progress line, and nothing else to say on success.
    EXPECT_EQ(run.output, "");
}

#ifndef _WIN32
TEST_F(CliD2xx, OnATerminalTheProgressLineEndsWithTheTime) {
    // script(1) gives the tool a terminal and copies what it shows.
    SimRunRequest request;
    request.executable = "/usr/bin/script";
    request.arguments = {"-qec", tool.string() + " " + TARNEL_DEMO_IMAGE, "/dev/null"};
    const SimRunResult run = RunTarnelSim(request);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    // The last stage reaches 100% and is replaced by the time.
    const std::size_t flashing = run.output.rfind("\rFlashing...");
    ASSERT_NE(flashing, std::string::npos) << run.output;
    const std::size_t full = run.output.find("100%", flashing);
    ASSERT_NE(full, std::string::npos) << run.output;
    const std::size_t done = run.output.find("\rDone in ", full);
    ASSERT_NE(done, std::string::npos) << run.output;
    EXPECT_TRUE(
        std::regex_match(run.output.substr(done + 9), std::regex("\\d+\\.\\d\\d seconds\\.\r\n")))
        << run.output;
}
#endif

TEST_F(CliD2xx, EachFailureEndsTheRunWithItsExitCodeAndItsMessage) {
    struct Case {
        const char* faults;
        std::vector<std::string> options;
        int exitStatus;
        const char* said;  // how the line on standard error starts; empty: no line
    };
    const Case cases[] = {
        {"no-adapter", {}, 2, "tarnel-cli: Dravin not found!: "},
        {"write-error=20", {}, 1, "tarnel-cli: Error uploading bootloader: word "},
        {"erase-error", {}, 1, "tarnel-cli: Mass erase error: answer 2\n"},
        {"page-error=0", {}, 1, "tarnel-cli: Page programming error: page 0\n"},
        {"silent-probe=1", {}, 0, ""},
        {"foreign-first", {"--adapter", "SIM00001"}, 0, ""},
        {"foreign-first", {"--adapter=SIM00002"}, 2, "tarnel-cli: Dravin not found!: "},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.options;
        arguments.emplace_back(TARNEL_DEMO_IMAGE);
        SCOPED_TRACE(std::string(c.faults) + (c.options.empty() ? "" : " " + c.options.back()));
        const SimRunResult run = Run(arguments, c.faults);
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitStatus, c.exitStatus);
        if (*c.said == '\0') {
            EXPECT_EQ(run.output, "");
        } else {
            EXPECT_EQ(run.output.rfind(c.said, 0), 0u) << run.output;
            EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        }
    }
}

TEST_F(CliD2xx, ALibraryThatCannotBeLoadedIsNamedWithExitCode2) {
    const std::string missing = (folder / "no-such-d2xx-library").string();
    std::vector<std::string> libraries = {missing};
#ifdef _WIN32
    // No ftd2xx.dll beside the tool nor in the system: the driver is not installed.
    libraries.emplace_back("");
#endif
    for (const std::string& library : libraries) {
        SCOPED_TRACE(library.empty() ? "the system's ftd2xx.dll" : library);
        SetEnvironment("TARNEL_D2XX_LIBRARY", library);
        const SimRunResult run = Run({TARNEL_DEMO_IMAGE});
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitStatus, 2);
        const std::string named = library.empty() ? "ftd2xx.dll" : library;
        EXPECT_EQ(run.output.rfind("tarnel-cli: cannot load the D2XX library " + named, 0), 0u)
            << run.output;
        EXPECT_TRUE(run.calls.empty());
    }
}

#ifdef _WIN32
TEST_F(CliD2xx, ALibraryPlantedInTheCurrentFolderIsNeverLoaded) {
    // The driver is not installed; a folder of images from elsewhere holds an ftd2xx.dll.
    SetEnvironment("TARNEL_D2XX_LIBRARY", "");
    SimRunRequest request;
    request.executable = tool.string();
    request.arguments = {TARNEL_DEMO_IMAGE};
    request.filesInFolder = {{TARNEL_D2XX_STAND_IN, "ftd2xx.dll"}};
    const SimRunResult run = RunTarnelSim(request);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.output.rfind("tarnel-cli: cannot load the D2XX library ftd2xx.dll", 0), 0u)
        << run.output;
    EXPECT_TRUE(run.calls.empty());
}
#endif

// CRC-32 bit by bit, as its definition reads: reflected polynomial 0xEDB88320, initial and
// final value 0xFFFFFFFF.
std::uint32_t BitwiseCrc32(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ ((crc & 1u) != 0 ? 0xEDB88320u : 0u);
        }
    }
    return ~crc;
}

TEST_F(CliD2xx, CheckTellsWhatAnImageWouldProgramWithoutTouchingAnAdapter) {
    const std::string image = (folder / "check.rom").string();
    std::ofstream(image, std::ios::binary)
        << "; x\n@000000 1234\n@0001FF 00FF\n@008000 1111\n@000003 12\n@000004 4444\n";
    // The flash content it gives, each word the more significant byte first.
    std::vector<std::uint8_t> flash(2 * 32768, 0xFF);
    flash[0] = 0x12, flash[1] = 0x34, flash[2 * 0x1FF] = 0x00;
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(BitwiseCrc32(flash)));
    const auto withoutCr = [](std::string text) {
        std::erase(text, '\r');
        return text;
    };

    const SimRunResult refused = Run({"--check", image});
    ASSERT_TRUE(refused.started);
    EXPECT_EQ(refused.exitStatus, 2);
    EXPECT_EQ(withoutCr(refused.output),
              "tarnel-cli: Cannot read flash image: " + image +
                  ":5: four hex digits of value expected, found a line end (2 malformed "
                  "records in the file)\n");
    EXPECT_TRUE(refused.calls.empty());

    const SimRunResult lenient = Run({"--check", "--lenient", image});
    EXPECT_EQ(lenient.exitStatus, 0);
    EXPECT_EQ(withoutCr(lenient.output),
              "image: " + image +
                  "\nwords: 2\npages: 2\nlowest address: 0x000000\nhighest address: 0x008000\n"
                  "words beyond the flash: 1\nmalformed records: 2\n"
                  "  line 5: four hex digits of value expected, found a line end\n"
                  "  line 6: lost: the unfinished record on line 5 ran on into this line\n"
                  "crc32: " +
                  crc + "\n");
    EXPECT_TRUE(lenient.calls.empty());
}

TEST_F(CliD2xx, ALogThatCannotBeOpenedEndsTheRunBeforeAnyAdapterIsOpened) {
    const std::string log = (folder / "missing" / "run.log").string();
    SimRunRequest request;
    request.executable = tool.string();
    request.arguments = {TARNEL_DEMO_IMAGE};
    request.environment = {"TARNEL_LOG=" + log};
    const SimRunResult run = RunTarnelSim(request);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.output,
              "tarnel-cli: Cannot open the event log: " + log + ": No such file or directory\n");
    EXPECT_TRUE(run.calls.empty());
}

TEST_F(CliD2xx, HelpVersionAndWrongCommandLines) {
    struct Case {
        std::vector<std::string> arguments;
        int exitStatus;
        const char* said;  // the start of the output
    };
    const Case cases[] = {
        {{"--help"}, 0, "Usage: tarnel-cli [--lenient] [--adapter SERIAL|PORT] IMAGE.rom\n"},
        {{"--version"}, 0, "tarnel-cli " TARNEL_VERSION "\n"},
        {{}, 64, "tarnel-cli: no image named\n"},
        {{"a.rom", "b.rom"}, 64, "tarnel-cli: one image at a time"},
        {{"-p", "a.rom"}, 64, "tarnel-cli: unknown option -p\n"},
        {{"a.rom", "--adapter"}, 64, "tarnel-cli: --adapter needs a serial number or port\n"},
        {{"--adapter=", "a.rom"}, 64, "tarnel-cli: --adapter needs a serial number or port\n"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& argument : c.arguments) {
            line += argument + " ";
        }
        SCOPED_TRACE(line);
        const SimRunResult run = Run(c.arguments);
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitStatus, c.exitStatus);
        EXPECT_EQ(run.output.rfind(c.said, 0), 0u) << run.output;
        EXPECT_TRUE(run.calls.empty());
    }
}

}  // namespace
}  // namespace tarnel::test
