// tarnel-cli over the D2XX library loaded at run time: the stand-in library built from the
// simulator in place of the vendor's (libftd2xx.so on Linux, ftd2xx.dll under Wine).
// Whole runs of a copy of tarnel-cli with the stand-in bootloader beside it, checked by
// exit status, flash and what the tool says on standard error.

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
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

#ifdef TARNEL_ADAPTERS_TOOL
// The adapter list through the library: chosen by TARNEL_DRIVER=d2xx on Linux, without
// being asked for on Windows. Of the stand-in's two devices only the adapter is listed.
TEST_F(CliD2xx, TheAdapterListComesFromTheLibrary) {
#ifdef _WIN32
    UnsetEnvironment("TARNEL_DRIVER");
#endif
    const struct {
        const char* faults;
        int exitStatus;
        std::string listed;
    } cases[] = {
        {"foreign-first", 0, "0x12 SIM00001 - usable \"Simulated programming adapter\"\n"},
        {"no-adapter", 2,
         "tarnel-adapters: the D2XX library lists no adapter (USB ID 0403:f1a0)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.faults);
        SimRunRequest request;
        request.executable = TARNEL_ADAPTERS_TOOL;
        request.faults = c.faults;
        request.timeout = std::chrono::seconds(30);
        const SimRunResult run = RunTarnelSim(request);
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitStatus, c.exitStatus);
        EXPECT_EQ(run.output, c.listed);
    }
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

#ifndef _WIN32
// The demo image in every format: raw binary written here, low byte first (and high byte
// first), Intel HEX and S-records from it by objcopy, ELF by ld with its segment at another
// virtual than physical address. Each programs the words of the "@" file with the same
// wire trace; a broken file is refused before the adapter is opened.
TEST_F(CliD2xx, EveryFormatOfOneImageProgramsTheSameWordsTheSameWay) {
    if (std::system("command -v ld >/dev/null && command -v objcopy >/dev/null") != 0) {
        GTEST_SKIP() << "needs ld and objcopy";
    }
    std::vector<std::uint16_t> words(32768, 0xFFFF);
    const int highest = ReadWordImage(TARNEL_DEMO_IMAGE, words.data(), 32768);
    ASSERT_GT(highest, 0);
    std::string little;
    std::string big;
    for (int a = 0; a <= highest; ++a) {
        little += {static_cast<char>(words[a] & 0xFF), static_cast<char>(words[a] >> 8)};
        big += {static_cast<char>(words[a] >> 8), static_cast<char>(words[a] & 0xFF)};
    }
    const auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(folder / name, std::ios::binary) << bytes;
        return (folder / name).string();
    };
    const std::string bin = write("demo.bin", little);
    const std::string binBig = write("demo-big.bin", big);
    write("map.ld", "SECTIONS { .text 0x40000 : AT(0) { *(.data) } }\n");
    const std::string make =
        "cd '" + folder.string() +
        "' && objcopy -I binary -O ihex demo.bin demo.hex && objcopy -I binary -O srec "
        "demo.bin demo.srec && ld -m elf_i386 --oformat elf32-i386 -N --no-warn-rwx-segments "
        "-T map.ld -b binary -o demo.elf demo.bin";
    ASSERT_EQ(std::system(make.c_str()), 0) << make;
    std::string hex;
    std::getline(std::ifstream(folder / "demo.hex"), hex);
    hex.erase(hex.find_last_not_of("\r") + 1);  // objcopy ends its lines with CR LF
    const std::string badHex = write("bad.hex", hex.substr(0, hex.size() - 1) + "0\n");
    std::ifstream elfFile(folder / "demo.elf", std::ios::binary);
    const std::string elf{std::istreambuf_iterator<char>(elfFile), {}};
    const std::string cutElf = write("cut.elf", elf.substr(0, 100));

    const SimRunResult reference = Run({TARNEL_DEMO_IMAGE});
    ASSERT_EQ(reference.exitStatus, 0) << reference.output;
    // The format --check names, and what it says from the pages on (the binary files name
    // the blank words between the demo's pages too, so their word counts differ).
    const auto checked = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "--check");
        const std::string said = Run(arguments).output;
        const std::size_t format = said.find("\nformat: ") + 9;
        const std::size_t end = said.find('\n', format);
        return std::make_pair(said.substr(format, end - format),
                              said.substr(std::min(said.find("\npages: "), said.size())));
    };
    const std::string referenceCheck = checked({TARNEL_DEMO_IMAGE}).second;
    const struct {
        std::vector<std::string> arguments;
        const char* refusal;      // how the line on standard error starts; empty: programmed
        const char* format = "";  // as --check names it
    } cases[] = {
        {{(folder / "demo.hex").string()}, "", "ihex (Intel HEX)"},
        {{(folder / "demo.srec").string()}, "", "srec (Motorola S-records)"},
        {{(folder / "demo.elf").string()}, "", "elf (ELF)"},
        {{"--format=bin", "--base=0", bin}, "", "bin (raw binary)"},
        {{"--format=bin", "--base=0", "--byte-order=big", binBig}, "", "bin (raw binary)"},
        {{badHex}, ":1: checksum is"},
        {{cutElf}, ": offset 0x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        const SimRunResult run = Run(c.arguments);
        ASSERT_TRUE(run.started);
        if (*c.refusal == '\0') {
            EXPECT_EQ(run.exitStatus, 0) << run.output;
            EXPECT_EQ(run.flash, words);
            EXPECT_EQ(run.calls, reference.calls);
            EXPECT_EQ(checked(c.arguments), std::make_pair(std::string(c.format), referenceCheck));
        } else {
            EXPECT_EQ(run.exitStatus, 2);
            const std::string line = "tarnel-cli: Cannot read flash image: " + c.arguments.back();
            EXPECT_EQ(run.output.rfind(line + c.refusal, 0), 0u) << run.output;
            EXPECT_TRUE(run.calls.empty());
        }
    }
}
#endif

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
                  "\nformat: rom (@ records)\nwords: 2\npages: 2\nlowest address: "
                  "0x000000\nhighest address: 0x008000\n"
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
        {false,
         {"--format=hexx", "a.hex"},
         64,
         "tarnel-cli: unknown image format hexx (formats: rom,"},
        {false, {"--format=bin", "a.bin"}, 64, "tarnel-cli: --format=bin needs --base=ADDRESS"},
        {false, {"--base=0x200", "a.hex"}, 64, "tarnel-cli: --base is for --format=bin only\n"},
        {false,
         {"--format=bin", "--base=2k", "a.bin"},
         64,
         "tarnel-cli: --base takes a byte address"},
        {false, {"--byte-order=middle", "a.hex"}, 64, "tarnel-cli: --byte-order is little or big"},
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
