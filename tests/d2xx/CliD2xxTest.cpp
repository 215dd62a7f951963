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

// The line a successful run ends with, whether or not standard error is a terminal.
const std::regex kSummary(
    "tarnel-cli: programmed \\d+ pages \\([\\d,]+ words\\) through adapter SIM00001 at "
    "\\S+ in \\d+\\.\\d s\r?\n");

TEST_F(CliD2xx, ProgramsTheDemoImageExactly) {
    std::vector<std::uint16_t> expected(32768, 0xFFFF);
    ASSERT_GE(ReadWordImage(TARNEL_DEMO_IMAGE, expected.data(), 32768), 0);

    const SimRunResult run = Run({TARNEL_DEMO_IMAGE});

    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(run.flash, expected);
    EXPECT_TRUE(run.protocolErrors.empty());
    // Not a terminal: no progress line, but the run says what it did.
    EXPECT_TRUE(std::regex_match(run.output, kSummary)) << run.output;
}

#ifndef _WIN32
// The lines a terminal was left with: each "\r" redraw replaces what stood before it.
std::vector<std::string> ShownLines(const std::string& output) {
    std::vector<std::string> lines;
    std::string line;
    bool returned = false;  // a "\r" waits: what follows, unless a line end, starts over
    for (const char c : output) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            if (returned) {
                line.clear();
            }
            line += c;
        }
        returned = c == '\r';
    }
    return lines;
}

TEST_F(CliD2xx, OnATerminalEachStageHasALineThatFitsAndTheRunEndsWithASummary) {
    // script(1) gives the tool a terminal and copies what it shows; the adapter answers
    // slowly enough for the lines to be redrawn.
    const auto onTerminal = [&](const std::string& faults) {
        SimRunRequest request;
        request.executable = "/usr/bin/script";
        request.arguments = {"-qec", "stty cols 80; " + tool.string() + " " + TARNEL_DEMO_IMAGE,
                             "/dev/null"};
        request.faults = faults;
        return RunTarnelSim(request);
    };
    SimRunResult run = onTerminal("");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    // Every drawing of a line fits 80 columns without filling the last.
    std::string piece;
    std::istringstream drawings(run.output);
    while (std::getline(drawings, piece, '\r')) {
        EXPECT_LT(piece.substr(0, piece.find('\n')).size(), 80u) << piece;
    }
    const std::vector<std::string> lines = ShownLines(run.output);
    ASSERT_EQ(lines.size(), 4u) << run.output;
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("bootloader \\[=+\\] 100%  [\\d,]+/[\\d,]+ "
                                                      "words  [\\d,]+ words/s  \\d+\\.\\d s")))
        << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex("erase +\\d+\\.\\d s"))) << lines[1];
    EXPECT_TRUE(std::regex_match(
        lines[2],
        std::regex("flash +\\[=+\\] 100%  (\\d+)/\\1 pages  [\\d,]+ words/s  \\d+\\.\\d s")))
        << lines[2];
    EXPECT_TRUE(std::regex_match(lines[3] + "\n", kSummary)) << lines[3];

    // A failure stands on a line of its own, right after the stage's line.
    run = onTerminal("page-error=2");
    EXPECT_EQ(run.exitStatus, 1) << run.output;
    const std::string failure = "tarnel-cli: Page programming error: page ";
    const std::size_t at = run.output.find(failure);
    ASSERT_NE(at, std::string::npos) << run.output;
    EXPECT_EQ(run.output.substr(at - 2, 2), "\r\n") << run.output;
    EXPECT_NE(run.output.substr(at - 4, 2), "\r\n") << run.output;
    EXPECT_EQ(run.output.find('\n', at), run.output.size() - 1) << run.output;
}
#endif

TEST_F(CliD2xx, EachFailureEndsTheRunWithItsExitCodeAndItsMessage) {
    struct Case {
        const char* faults;
        std::vector<std::string> options;
        const char* chosen;  // TARNEL_ADAPTER; null: unset
        int exitStatus;
        const char* said;  // how the line on standard error starts; empty: the summary
    };
    const Case cases[] = {
        {"no-adapter",
         {},
         nullptr,
         2,
         "tarnel-cli: Dravin not found!: no adapter connected (USB ID 0403:f1a0); "},
        {"write-error=20", {}, nullptr, 1, "tarnel-cli: Error uploading bootloader: word "},
        {"erase-error", {}, nullptr, 1, "tarnel-cli: Mass erase error: answer 2\n"},
        {"page-error=0", {}, nullptr, 1, "tarnel-cli: Page programming error: page 0\n"},
        {"silent-probe=1", {}, nullptr, 0, ""},
        {"foreign-first", {"--adapter", "SIM00001"}, nullptr, 0, ""},
        {"foreign-first", {"-a", "SIM00001"}, "SIM00002", 0, ""},
        {"foreign-first",
         {"--adapter=SIM00002"},
         nullptr,
         2,
         "tarnel-cli: Dravin not found!: no adapter SIM00002 among those connected: SIM00001 at "},
        {"", {"-q"}, nullptr, 0, nullptr},
        {"page-error=0", {"-q"}, nullptr, 1, "tarnel-cli: Page programming error: page 0\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.options;
        arguments.emplace_back(TARNEL_DEMO_IMAGE);
        SCOPED_TRACE(std::string(c.faults) + (c.options.empty() ? "" : " " + c.options.back()));
        if (c.chosen != nullptr) {
            SetEnvironment("TARNEL_ADAPTER", c.chosen);
        }
        const SimRunResult run = Run(arguments, c.faults);
        UnsetEnvironment("TARNEL_ADAPTER");
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitStatus, c.exitStatus);
        if (c.said == nullptr) {
            EXPECT_EQ(run.output, "");
        } else if (*c.said == '\0') {
            EXPECT_TRUE(std::regex_match(run.output, kSummary)) << run.output;
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

TEST_F(CliD2xx, VerboseNamesTheAdapterTheDriverTheBootloaderAndEachStage) {
    const SimRunResult run = Run({"-v", TARNEL_DEMO_IMAGE});
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    for (const std::string& said :
         {"tarnel-cli: bootloader file " + (folder / "flash.ram").string() + "\n",
          std::string("tarnel-cli: adapter SIM00001 at "), std::string(", driver D2XX library "),
          std::string("tarnel-cli: bootloader [="), std::string("tarnel-cli: erase "),
          std::string("tarnel-cli: flash      [="), std::string("tarnel-cli: programmed ")}) {
        EXPECT_NE(run.output.find(said), std::string::npos) << said << "\n" << run.output;
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

TEST_F(CliD2xx, HelpVersionAndWrongCommandLines) {
    struct Case {
        bool adaptersTool;  // tarnel-adapters; else tarnel-cli
        std::vector<std::string> arguments;
        int exitStatus;
        const char* said;  // the start of the output
    };
    std::string adapters;  // empty: not built here
#ifdef TARNEL_ADAPTERS_TOOL
    adapters = TARNEL_ADAPTERS_TOOL;
#endif
    const Case cases[] = {
        {false, {"--help"}, 0, "Usage: tarnel-cli [-q | -v] [-a SERIAL|PORT]"},
        {false, {"a.rom", "-h"}, 0, "Usage: tarnel-cli "},
        {false, {"--version"}, 0, "tarnel-cli " TARNEL_VERSION "\n"},
        {false, {"-V"}, 0, "tarnel-cli " TARNEL_VERSION "\n"},
        {false, {}, 64, "tarnel-cli: no image named\nUsage: tarnel-cli "},
        {false, {"a.rom", "b.rom"}, 64, "tarnel-cli: one image at a time"},
        {false, {"-p", "a.rom"}, 64, "tarnel-cli: unknown option -p\nUsage: "},
        {false, {"--bogus=1", "a.rom"}, 64, "tarnel-cli: unknown option --bogus=1\n"},
        {false, {"a.rom", "--adapter"}, 64, "tarnel-cli: --adapter needs a value"},
        {false, {"a.rom", "-a"}, 64, "tarnel-cli: --adapter needs a value"},
        {false, {"--adapter=", "a.rom"}, 64, "tarnel-cli: --adapter needs a value"},
        {false, {"--log", "-q"}, 64, "tarnel-cli: no image named\n"},
        // Two adapters make a gang; --all names them all already.
        {false, {"--all", "-a", "X", "a.rom"}, 64, "tarnel-cli: --all and --adapter name the"},
        {false, {"-q", "-v", "a.rom"}, 64, "tarnel-cli: --quiet and --verbose exclude"},
        // After "--" every argument is an image, --help included.
        {false, {"--", "--help"}, 2, "tarnel-cli: Cannot read flash image: --help: "},
        {true, {"--help"}, 0, "Usage: tarnel-adapters\n"},
        {true, {"-V"}, 0, "tarnel-adapters " TARNEL_VERSION "\n"},
        {true, {"-x"}, 64, "tarnel-adapters: unknown option -x\nUsage: "},
        {true, {"list"}, 64, "tarnel-adapters: takes no operand (given: list)\n"},
    };
    for (const Case& c : cases) {
        if (c.adaptersTool && adapters.empty()) {
            continue;
        }
        std::string line = c.adaptersTool ? "tarnel-adapters " : "tarnel-cli ";
        for (const std::string& argument : c.arguments) {
            line += argument + " ";
        }
        SCOPED_TRACE(line);
        SimRunRequest request;
        request.executable = c.adaptersTool ? adapters : tool.string();
        request.arguments = c.arguments;
        request.timeout = std::chrono::seconds(30);
        const SimRunResult run = RunTarnelSim(request);
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitStatus, c.exitStatus);
        EXPECT_EQ(run.output.rfind(c.said, 0), 0u) << run.output;
        EXPECT_TRUE(run.calls.empty());
    }
}

}  // namespace
}  // namespace tarnel::test
