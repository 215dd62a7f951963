// A run stopped from outside, as a person or a production line stops it: tarnel -cc -p and
// tarnel-cli, each sent SIGINT, SIGTERM or SIGHUP by the simulator at an exact read of the
// run. Each must end by itself with the adapter closed, the signal's exit code, one line on
// standard error, the log's end line, and a flash that holds what that line says.
// Then SIGPIPE: standard error and the log on a pipe nobody reads.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/ImageFile.h"
#include "support/Portable.h"
#include "support/SimProcess.h"

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kPageWords = 256;
constexpr unsigned kFlashWords = 128 * kPageWords;

// Every word of the flash, none blank.
std::uint16_t ImageWord(unsigned address) {
    return static_cast<std::uint16_t>((address * 7 + 1) % 0xFFFF);
}

struct Tool {
    const char* name;
    const char* linePrefix;  // how its lines on standard error start
    bool cli;
};

class StopE2E : public ::testing::Test {
protected:
    StopE2E() {
        std::map<unsigned, std::uint16_t> words;
        for (unsigned a = 0; a < kFlashWords; ++a) {
            words[a] = ImageWord(a);
        }
        WriteImageFile(image_, words);
    }
    ~StopE2E() override { fs::remove_all(dir_); }

    // A request for `tool` programming the full image; TARNEL_LOG=- puts the log on
    // standard error beside the tool's lines.
    SimRunRequest Request(const Tool& tool, const std::string& faults) const {
        SimRunRequest request;
        request.faults = faults;
        request.timeout = std::chrono::seconds(30);
        request.environment = {"TARNEL_LOG=-"};
        if (tool.cli) {
            request.executable = TARNEL_CLI_TOOL;
            request.arguments = {image_.string()};
            request.environment.insert(
                request.environment.end(),
                {"TARNEL_DRIVER=d2xx", "TARNEL_D2XX_LIBRARY=" TARNEL_D2XX_STAND_IN,
                 "TARNEL_BOOTLOADER=" TARNEL_SOURCE_DIR "/src/sim/flash.ram"});
        } else {
            request.arguments = {"-cc", "-p", image_.string()};
            request.headless = true;
        }
        return request;
    }

    const fs::path dir_ = MakeTemporaryDirectory("tarnel-stop-");
    const fs::path image_ = dir_ / "full.rom";
};

std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& start) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        if (line.rfind(start, 0) == 0) {
            lines.push_back(line);
        }
        at = end + 1;
    }
    return lines;
}

const Tool kTools[] = {{"tarnel -cc -p", "tarnel: ", false}, {"tarnel-cli", "tarnel-cli: ", true}};

TEST_F(StopE2E, AStoppedRunEndsDetachedAndSaysWhatTheFlashHolds) {
    // Every mailbox command reads busy twice, then answers: read 1 is the attach's probe,
    // reads 2..4 the erase's polls, reads 5+3k..7+3k those of page k.
    struct Point {
        const char* name;
        unsigned read;
        int lastPage;  // -2: nothing sent to the flash; -1: the erase was cut
        const char* flash;
        const char* detail;
    };
    const Point points[] = {
        {"before the erase", 1, -2, "unchanged",
         "stopped before the erase; the flash is unchanged"},
        {"during the erase polls", 3, -1, "erasing",
         "the flash is partly erased; program it again"},
        {"at page 40", 5 + 3 * 40, 40, "pages:0..40",
         "the flash is erased with the image's pages 0..40 programmed; program it again"},
    };
    const struct {
        const char* token;
        int signal;
    } signals[] = {{"sigint-at=", SIGINT}, {"sigterm-at=", SIGTERM}, {"sighup-at=", SIGHUP}};

    for (const Tool& tool : kTools) {
        for (const Point& point : points) {
            for (const auto& signal : signals) {
                SCOPED_TRACE(std::string(tool.name) + ", " + signal.token +
                             std::to_string(point.read) + " (" + point.name + ")");
                SimRunRequest request = Request(
                    tool, std::string("busy-polls=2,") + signal.token + std::to_string(point.read));
                // A flash that shows whether it was touched.
                request.initialFlash = "@000010 1234\n";
                const SimRunResult run = RunTarnelSim(request);
                ASSERT_TRUE(run.started);
                ASSERT_FALSE(run.timedOut) << run.output;
                EXPECT_EQ(run.exitStatus, 128 + signal.signal) << run.output;
                ASSERT_FALSE(run.calls.empty());
                EXPECT_EQ(run.calls.back(), "FT_Close -> 0");
                EXPECT_EQ(LinesStartingWith(run.output, tool.linePrefix),
                          std::vector<std::string>{std::string(tool.linePrefix) +
                                                   "Programming interrupted: " + point.detail});
                const std::regex end(
                    " end outcome=interrupted seconds=[0-9.]+ exit=" +
                    std::to_string(128 + signal.signal) + " flash=" +
                    std::regex_replace(std::string(point.flash), std::regex("[.]"), "\\.") + "$");
                const auto ends = LinesStartingWith(run.output, "20");
                ASSERT_FALSE(ends.empty());
                EXPECT_TRUE(std::regex_search(ends.back(), end)) << ends.back();

                ASSERT_EQ(run.flash.size(), kFlashWords);
                if (point.lastPage == -2) {
                    EXPECT_EQ(run.flash[0x10], 0x1234);
                    EXPECT_EQ(run.flash[0], 0xFFFF);
                    continue;
                }
                if (point.lastPage < 0) {
                    continue;  // a cut erase: any mix of erased and old words
                }
                const unsigned programmedEnd = (point.lastPage + 1) * kPageWords;
                for (unsigned a = 0; a < kFlashWords; ++a) {
                    ASSERT_EQ(run.flash[a], a < programmedEnd ? ImageWord(a) : 0xFFFF)
                        << "word " << a;
                }
            }
        }
    }
}

// Runs `tool` with its standard error (and the log, TARNEL_LOG=-) on a pipe whose reading
// end is closed before it starts; returns its exit status, -1 when a signal ended it.
int RunWithClosedStandardError(const Tool& tool, const SimRunRequest& request) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return -2;
    }
    ::close(fds[0]);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 2);
        ::dup2(fds[1], 1);
        for (const std::string& entry : request.environment) {
            ::putenv(const_cast<char*>(entry.c_str()));
        }
        if (!tool.cli) {
            ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
            ::unsetenv("QT_QPA_PLATFORM");
        }
        if (!request.faults.empty()) {
            ::setenv("TARNEL_SIM_FAULTS", request.faults.c_str(), 1);
        }
        const std::string program =
            request.executable.empty() ? TarnelSimPath() : request.executable;
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : request.arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(StopE2E, AClosedPipeOnStandardErrorChangesNoExitCode) {
    for (const Tool& tool : kTools) {
        SCOPED_TRACE(tool.name);
        SimRunRequest good = Request(tool, "");
        // Only the log writes on a good run, at its first line.
        EXPECT_EQ(RunWithClosedStandardError(tool, good), 0);
        SimRunRequest bad = Request(tool, "");
        bad.arguments.back() = (dir_ / "missing.rom").string();
        EXPECT_EQ(RunWithClosedStandardError(tool, bad), 2);
    }
}

}  // namespace
}  // namespace tarnel::test
