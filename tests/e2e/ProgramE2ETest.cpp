// tarnel-sim run as a process, as a production script runs it: exit status, the simulated
// flash afterwards, and every transaction on the wire.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "e2e/WireTransactions.h"
#include "scan/ImageReader.h"
#include "support/ImageFile.h"
#include "support/Portable.h"
#include "support/SimProcess.h"
#ifndef _WIN32
#include "support/ToolStopper.h"
#endif

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;

// Points TARNEL_LOG, which the tools started meanwhile inherit, at `path`.
class ScopedLog {
public:
    explicit ScopedLog(const fs::path& path) {
        if (const char* old = std::getenv("TARNEL_LOG")) {
            old_ = old;
        }
        SetEnvironment("TARNEL_LOG", path.string());
    }
    ~ScopedLog() {
        if (old_) {
            SetEnvironment("TARNEL_LOG", *old_);
        } else {
            UnsetEnvironment("TARNEL_LOG");
        }
    }
    ScopedLog(const ScopedLog&) = delete;
    ScopedLog& operator=(const ScopedLog&) = delete;

private:
    std::optional<std::string> old_;
};

class ProgramE2E : public ::testing::Test {
protected:
    ProgramE2E() : dir_(fs::temp_directory_path() / ("tarnel-e2e-" + std::to_string(ProcessId()))) {
        fs::create_directories(dir_);
    }
    ~ProgramE2E() override { fs::remove_all(dir_); }

    std::string WriteImage(const std::map<unsigned, std::uint16_t>& words) {
        // CR LF line ends, as images written on other systems have them.
        const std::string path = (dir_ / "image.rom").string();
        WriteImageFile(path, words, "\r\n");
        return path;
    }

    // Pages 0, 1 and 2 each hold one word.
    std::string ThreePageImage() {
        return WriteImage({{0x0000, 0x1111}, {0x0100, 0x2222}, {0x0200, 0x3333}});
    }

    // An unattended, quiet Program run of `image` with `faults`.
    static SimRunRequest QuietRun(const std::string& image, const char* faults = "") {
        SimRunRequest request;
        request.arguments = {"-cc", "-p", image};
        request.faults = faults;
        return request;
    }

    static std::vector<std::uint16_t> Bootloader(int& highest) {
        std::vector<std::uint16_t> words(2048, 0);
        highest = ReadWordImage(TARNEL_SOURCE_DIR "/src/sim/flash.ram", words.data(), 2048);
        return words;
    }

    fs::path dir_;
};

using T = Transaction;

std::vector<Transaction> Preparation() {
    return {
        {T::Write, 0x03100001, 0x0DBE},  // set-up, written by the Program action
        {T::Execute, 0x02000001, 0},    {T::Write, 0x1000FF42, 0},   {T::Write, 0x1000FF79, 12},
        {T::Write, 0x1000FF79, 0},      {T::Execute, 0x02000000, 0}, {T::Write, 0x1000FF72, 55},
        {T::Write, 0x1000FF44, 256},    {T::Write, 0x1000FF47, 0},   {T::Write, 0x1000FF48, 0},
        {T::Write, 0x1000FF49, 7},      {T::Write, 0x1000FF53, 0},   {T::Write, 0x1000FF54, 4},
        {T::Write, 0x1000FF55, 3},      {T::Write, 0x1000FF43, 2},
    };
}

// What a whole successful request sends when the bootloader answers every command at once.
std::vector<Transaction> ExpectedRequest(const std::vector<std::uint16_t>& bootloader, int count,
                                         const std::vector<std::uint16_t>& flash) {
    std::vector<Transaction> expected = Preparation();
    for (int i = 0; i < count; ++i) {
        expected.push_back({T::Write, 0x01000000u + static_cast<unsigned>(i), bootloader[i]});
    }
    expected.push_back({T::Execute, 0x02000004, 0});
    const Transaction poll{T::Read, 0x800000F1, 0};
    expected.push_back({T::Write, 0x000000F1, 0x8003});
    expected.push_back(poll);
    for (unsigned page = 0; page < 128; ++page) {
        const std::uint16_t* w = flash.data() + page * 256;
        if (std::all_of(w, w + 256, [](std::uint16_t v) { return v == 0xFFFF; })) {
            continue;
        }
        expected.push_back({T::Write, 0x000000F2, page});
        expected.push_back({T::Write, 0x000000F3, w[0]});
        for (unsigned j = 1; j <= 253; j += 2) {
            expected.push_back(
                {T::Write, 0x04000000u | (0xF3 + j), (std::uint32_t{w[j]} << 16) | w[j + 1]});
        }
        expected.push_back({T::Write, 0x000001F2, w[255]});
        expected.push_back({T::Write, 0x000000F1, 0x8001});
        expected.push_back(poll);
    }
    const std::vector<Transaction> restart = {{T::Execute, 0x02000001, 0},
                                              {T::Write, 0x1000FF79, 12},
                                              {T::Write, 0x1000FF79, 0},
                                              {T::Execute, 0x02000000, 0},
                                              {T::Execute, 0x02000004, 0}};
    expected.insert(expected.end(), restart.begin(), restart.end());
    return expected;
}

TEST_F(ProgramE2E, UnattendedRunProgramsTheImageWithExactlyTheExpectedTransactions) {
    const std::map<unsigned, std::uint16_t> words = {
        {0x0000, 0x1234}, {0x00FF, 0x0000}, {0x0501, 0xBEEF}, {0x7FFF, 0x00A5}};
    const std::string image = WriteImage(words);
    for (const char* closeOption : {"-cc", "-c"}) {
        SCOPED_TRACE(closeOption);
        SimRunRequest request;
        request.arguments = {closeOption, "-p", image};
        const SimRunResult run = RunTarnelSim(request);
        ASSERT_TRUE(run.started);
        ASSERT_FALSE(run.timedOut) << run.output;
        EXPECT_EQ(run.exitStatus, 0) << run.output;
        EXPECT_TRUE(run.protocolErrors.empty()) << run.protocolErrors.front();
        ASSERT_TRUE(run.flashWritten);
        EXPECT_TRUE(run.flashFormatErrors.empty());
        std::vector<std::uint16_t> expectedFlash(32768, 0xFFFF);
        for (const auto& [address, value] : words) {
            expectedFlash[address] = value;
        }
        EXPECT_EQ(run.flash, expectedFlash);

        int highest = -1;
        const auto bootloader = Bootloader(highest);
        ASSERT_GE(highest, 0);
        std::vector<std::string> errors;
        const auto transactions = DecodeTransactions(run.trace, errors);
        EXPECT_TRUE(errors.empty()) << errors.front();
        const auto expected = ExpectedRequest(bootloader, highest + 1, expectedFlash);
        ASSERT_EQ(transactions.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(transactions[i], expected[i])
                << "transaction " << i << ": " << Describe(transactions[i]) << ", expected "
                << Describe(expected[i]);
        }
        // Attached by the request, detached at its end: the last write is the line idle.
        ASSERT_FALSE(run.calls.empty());
        EXPECT_EQ(run.calls.back(), "FT_Close -> 0");
    }
}

struct ClosingFailure {
    const char* name;
    std::vector<std::string> arguments;  // "IMAGE" stands for a good image
    const char* faults;
    // The bootloader beside the program: null for the stand-in built beside tarnel-sim,
    // "" for none, kFolder for a folder named flash.ram, otherwise the text of the
    // flash.ram to use.
    const char* bootloader;
    bool adapterTouched;
    const char* says = "";  // part of the failure's message
};

constexpr const char* kFolder = "/";

TEST_F(ProgramE2E, FileAndAdapterFailuresCloseTheToolWithExitCodeTwo) {
    const std::string image = WriteImage({{0, 0x0001}});
    const ScopedLog logged("-");  // the log's lines go into the output
    const ClosingFailure cases[] = {
        {"flash.ram missing", {"-cc", "-p", "IMAGE"}, "", "", false},
        {"flash.ram without a record", {"-cc", "-p", "IMAGE"}, "", "; nothing\n", false},
        // Uploading a cut bootloader would start a broken program on the target.
        {"bootloader larger than its buffer",
         {"-cc", "-p", "IMAGE"},
         "",
         "@000000 B007\n@000800 0000\n",
         false},
        // Found but unreadable: the reason is told, not another place looked for.
        {"flash.ram is a folder", {"-cc", "-p", "IMAGE"}, "", kFolder, false, "flash.ram: "},
        // The program's own name is no image.
        {"empty file box",
         {"-p", "-cc"},
         "",
         nullptr,
         false,
         "Cannot read flash image: no file named"},
        {"image does not exist", {"-cc", "-p", "no-such.rom"}, "", nullptr, false},
        {"image is a folder", {"-cc", "-p", "."}, "", nullptr, false},
        {"no adapter", {"-cc", "-p", "IMAGE"}, "no-adapter", nullptr, true},
        {"foreign device first", {"-cc", "-p", "IMAGE"}, "foreign-first", nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimRunRequest request;
        for (const auto& a : c.arguments) {
            request.arguments.push_back(a == "IMAGE" ? image : a);
        }
        request.faults = c.faults;
        if (c.bootloader != nullptr) {
            const fs::path lonely = dir_ / "lonely";
            fs::remove_all(lonely);
            fs::create_directories(lonely);
            const fs::path copy = lonely / fs::path(TarnelSimPath()).filename();
            fs::copy_file(TarnelSimPath(), copy);
            if (c.bootloader == kFolder) {
                fs::create_directory(lonely / "flash.ram");
            } else if (*c.bootloader != '\0') {
                std::ofstream(lonely / "flash.ram") << c.bootloader;
            }
            request.executable = copy.string();
        }
        const SimRunResult run = RunTarnelSim(request);
        ASSERT_TRUE(run.started);
        ASSERT_FALSE(run.timedOut) << run.output;
        EXPECT_EQ(run.exitStatus, 2) << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
        // The log's end line carries the exit code the run ends with.
        const auto end = run.output.find(" end outcome=failure ");
        ASSERT_NE(end, std::string::npos) << run.output;
        const std::string endLine = run.output.substr(end, run.output.find('\n', end) - end);
        EXPECT_TRUE(endLine.ends_with(" exit=2")) << endLine;
        EXPECT_EQ(!run.calls.empty(), c.adapterTouched);
        for (const auto& call : run.calls) {
            EXPECT_EQ(call.rfind("FT_Write", 0), std::string::npos) << call;
        }
    }
}

struct OpenFailure {
    const char* name;
    const char* faults;
};

// Writes: 3 of the attach, the set-up, 14 of the preparation; the 20th is the second full
// buffer of the upload.
const OpenFailure kStepFailures[] = {
    {"upload transfer fails", "write-error=20"},
    {"erase answers 2", "erase-error"},
    {"erase never ends", "erase-busy"},
    {"page answers 2", "page-error=1"},
};

// The tests that close the tool as a script does (SIGTERM) once it waits, and those of a
// machine without a display: Linux only.
#ifndef _WIN32
TEST_F(ProgramE2E, UploadAndProgrammingFailuresLeaveTheToolOpenUntilItIsClosed) {
    const std::string image = ThreePageImage();
    const fs::path log = dir_ / "events.log";
    const ScopedLog logged(log);
    for (const auto& c : kStepFailures) {
        SCOPED_TRACE(c.name);
        fs::remove(log);
        // Closed once the request has ended in its log and the tool waits for the user.
        ToolStopper stopper(log, " end outcome=failure", std::chrono::seconds(20));
        const SimRunResult run = RunTarnelSim(QuietRun(image, c.faults));
        const ToolStop stop = stopper.Result();
        ASSERT_TRUE(run.started);
        ASSERT_FALSE(run.timedOut) << run.output;
        EXPECT_TRUE(stop.found) << "no end of the request in the log";
        EXPECT_TRUE(stop.sent) << "the tool closed by itself";
        EXPECT_EQ(run.exitStatus, 1) << run.output;
    }
}

TEST_F(ProgramE2E, OnAHeadlessMachineAFailedStepEndsTheRunWithItsExitCode) {
    const std::string image = ThreePageImage();
    for (const auto& c : kStepFailures) {
        SCOPED_TRACE(c.name);
        SimRunRequest request = QuietRun(image, c.faults);
        request.headless = true;
        request.timeout = std::chrono::seconds(20);
        const SimRunResult run = RunTarnelSim(request);
        ASSERT_TRUE(run.started);
        ASSERT_FALSE(run.timedOut) << run.output;
        EXPECT_EQ(run.exitStatus, 1) << run.output;
        // The failed step detached: the adapter was closed before the process ended.
        ASSERT_FALSE(run.calls.empty());
        EXPECT_EQ(run.calls.back().rfind("FT_Close", 0), 0u) << run.calls.back();
    }

    SimRunRequest good = QuietRun(image);
    good.headless = true;
    const SimRunResult run = RunTarnelSim(good);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(run.flash[0x0100], 0x2222);
}

TEST_F(ProgramE2E, APageFailureKeepsThePagesProgrammedBeforeIt) {
    SimRunRequest request = QuietRun(ThreePageImage(), "page-error=1");
    request.headless = true;
    const SimRunResult run = RunTarnelSim(request);
    EXPECT_EQ(run.exitStatus, 1);
    ASSERT_TRUE(run.flashWritten);
    EXPECT_EQ(run.flash[0x0000], 0x1111);
    EXPECT_EQ(run.flash[0x0100], 0xFFFF);
    EXPECT_EQ(run.flash[0x0200], 0xFFFF);
}

TEST_F(ProgramE2E, QuietRunWithoutProgramAtStartWaitsAndClosesWithStatusZero) {
    SimRunRequest request;
    request.arguments = {"-cc", WriteImage({{0, 0x0001}})};
    // Closed once it sits in its event loop; nothing is logged without a request.
    ToolStopper stopper({}, {}, std::chrono::seconds(20));
    const SimRunResult run = RunTarnelSim(request);
    EXPECT_TRUE(stopper.Result().sent) << "the tool closed by itself";
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_TRUE(run.calls.empty());
}
#endif

}  // namespace
}  // namespace tarnel::test
