// tarnel-cli over the D2XX library loaded at run time: the stand-in library built from the
// simulator in place of the vendor's (libftd2xx.so on Linux, ftd2xx.dll under Wine).
// Whole runs of a copy of tarnel-cli with the stand-in bootloader beside it, checked by
// exit status, flash and what the tool says on standard error.

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
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

TEST_F(CliD2xx, AGangOfTheListedAdapterProgramsItAndReportsIt) {
    // The stand-in lists one adapter: the gang's child is started, told by pipe and waited
    // for as on a line of boards (CreateProcessW under Wine).
    std::vector<std::uint16_t> expected(32768, 0xFFFF);
    ASSERT_GE(ReadWordImage(TARNEL_DEMO_IMAGE, expected.data(), 32768), 0);
    const std::string report = (folder / "report.json").string();

    const SimRunResult run = Run({"--all", "--report", report, TARNEL_DEMO_IMAGE});

    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(run.flash, expected);
    EXPECT_TRUE(std::regex_search(run.output,
                                  std::regex("^0x[0-9A-F]+ SIM00001 ok [0-9.]+ s\r?\n1 of 1 boards "
                                             "programmed in [0-9.]+ s\r?\n$")))
        << run.output;
    std::ifstream file(report);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("\"outcome\": \"success\""), std::string::npos) << text.str();
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

TEST_F(CliD2xx, HelpVersionAndWrongCommandLines) {
    struct Case {
        std::vector<std::string> arguments;
        int exitStatus;
        const char* said;  // the start of the output
    };
    const Case cases[] = {
        {{"--help"}, 0, "Usage: tarnel-cli [--adapter SERIAL|PORT] IMAGE.rom\n"},
        {{"--version"}, 0, "tarnel-cli " TARNEL_VERSION "\n"},
        {{}, 64, "tarnel-cli: no image named\n"},
        {{"a.rom", "b.rom"}, 64, "tarnel-cli: one image at a time"},
        {{"-p", "a.rom"}, 64, "tarnel-cli: unknown option -p\n"},
        {{"a.rom", "--adapter"}, 64, "tarnel-cli: --adapter needs a serial number or port\n"},
        {{"--adapter=", "a.rom"}, 64, "tarnel-cli: --adapter needs a serial number or port\n"},
        {{"--all", "-a", "1-2", "a.rom"}, 64, "tarnel-cli: --all and --adapter name the adapters"},
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
