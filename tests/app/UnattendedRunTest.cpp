// tarnel-sim as a script or a production line runs it: every failure ends an unattended
// run with its code and says why on standard error and in the log; the bootloader is
// found where an installed tool looks; --help and --version need no display; a stop
// request ends the tool while a message box is open.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/ImageFile.h"
#include "support/SimProcess.h"
#include "support/ToolStopper.h"

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;

// The lines of `output` that start with `prefix`.
std::vector<std::string> LinesStartingWith(const std::string& output, const std::string& prefix) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < output.size()) {
        const std::size_t end = output.find('\n', start);
        const std::string line = output.substr(start, end - start);
        if (line.rfind(prefix, 0) == 0) {
            lines.push_back(line);
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return lines;
}

TEST(UnattendedRun, EveryFailureWithoutADisplayEndsTheRunAndSaysWhy) {
    QTemporaryDir dir;
    const std::string image = dir.filePath("board.rom").toStdString();
    // Page 3 holds a word; two words lie beyond the 32,768-word flash.
    WriteImageFile(image, {{3 * 256 + 1, 0x1234}, {0x8000, 1}, {0x9000, 2}});
    const std::string noBootloader = dir.filePath("none/flash.ram").toStdString();
    const std::string missingImage = dir.filePath("missing.rom").toStdString();
    const struct {
        const char* name;
        std::string faults;
        std::string bootloader;  // TARNEL_BOOTLOADER; empty: the stand-in beside the tool
        std::string image;
        int exitStatus;
        std::string line;  // what follows "tarnel: " on standard error
        const char* key;   // the log's message key; null: none
        std::string detail;
    } cases[] = {
        {"bootloader missing", "", noBootloader, image, 2,
         "Cannot read bootloader image: not found; looked in " + noBootloader, "ErrBootFile",
         "not found; looked in " + noBootloader},
        {"image missing", "", "", missingImage, 2,
         "Cannot read flash image: " + missingImage + ": No such file or directory", "ErrFlashFile",
         missingImage + ": No such file or directory"},
        {"no adapter", "no-adapter", "", image, 2,
         "Dravin not found!: no adapter connected (USB ID 0403:f1a0); run tarnel-adapters to "
         "list the adapters this user may open",
         "ErrDravin", "run tarnel-adapters"},
        {"upload", "write-error=20", "", image, 1, "Error uploading bootloader: ", "ErrUplBoot",
         ""},
        {"erase", "erase-error", "", image, 1, "Mass erase error: answer 2", "ErrMassErase",
         "answer 2"},
        {"page", "page-error=3", "", image, 1, "Page programming error: page 3", "ErrPageProgram",
         "page 3"},
        {"success, with words beyond the flash", "", "", image, 0,
         "2 words beyond the flash were not programmed.", nullptr, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimRunRequest request;
        request.arguments = {"-c", "-p", c.image};
        request.faults = c.faults;
        request.headless = true;
        request.timeout = std::chrono::seconds(20);
        request.environment = {"TARNEL_LOG=-"};
        if (!c.bootloader.empty()) {
            request.environment.push_back("TARNEL_BOOTLOADER=" + c.bootloader);
        }
        const SimRunResult run = RunTarnelSim(request);
        ASSERT_TRUE(run.started);
        ASSERT_FALSE(run.timedOut) << run.output;
        EXPECT_EQ(run.exitStatus, c.exitStatus) << run.output;
        const auto lines = LinesStartingWith(run.output, "tarnel: ");
        ASSERT_EQ(lines.size(), 1u) << run.output;
        EXPECT_EQ(lines[0].rfind("tarnel: " + c.line, 0), 0u) << lines[0];
        if (c.line.back() == ' ') {
            EXPECT_GT(lines[0].size(), c.line.size() + 8) << "a detail follows";
        }
        const bool beyondLogged =
            run.output.find(c.exitStatus == 0 ? " beyond=2\n" : " beyond=") != std::string::npos;
        EXPECT_TRUE(beyondLogged) << run.output;
        if (c.key != nullptr) {
            const std::string message = std::string("message key=") + c.key;
            const auto at = run.output.find(message);
            ASSERT_NE(at, std::string::npos) << run.output;
            const std::string line = run.output.substr(at, run.output.find('\n', at) - at);
            EXPECT_NE(line.find(" detail=\""), std::string::npos) << line;
            EXPECT_NE(line.find(c.detail), std::string::npos) << line;
        }
    }
}

// A copy of tarnel-sim in a folder of its own, with a home and a configuration folder.
class BootloaderSearch : public ::testing::Test {
protected:
    void SetUp() override {
        if (fs::exists("/etc/tarnel/flash.ram")) {
            GTEST_SKIP() << "this machine has a bootloader in /etc/tarnel";
        }
        root_ = fs::path(dir_.path().toStdString());
        fs::create_directories(root_ / "tool");
        fs::copy_file(TarnelSimPath(), Tool());
        WriteImageFile((root_ / "board.rom").string(), {{0x0100, 0x2222}});
    }

    std::string Tool() const { return (root_ / "tool" / "tarnel-sim").string(); }

    // Places a bootloader at `path`: the stand-in, or a file without records.
    void Put(const fs::path& path, bool good) const {
        fs::create_directories(path.parent_path());
        if (good) {
            fs::copy_file(fs::path(TarnelSimPath()).parent_path() / "flash.ram", path,
                          fs::copy_options::overwrite_existing);
        } else {
            std::ofstream(path) << "; not a bootloader\n";
        }
    }

    QTemporaryDir dir_;
    fs::path root_;
};

TEST_F(BootloaderSearch, FirstPlaceThatExistsIsReadAndAFailureNamesThePlaces) {
    const fs::path beside = root_ / "tool" / "flash.ram";
    const fs::path home = root_ / "home";
    const fs::path homeConfig = home / ".config" / "tarnel" / "flash.ram";
    const fs::path xdg = root_ / "xdg";
    const fs::path xdgConfig = xdg / "tarnel" / "flash.ram";
    const fs::path chosen = root_ / "chosen.ram";
    const struct {
        const char* name;
        std::vector<std::pair<fs::path, bool>> files;  // bootloaders placed, good or not
        bool useXdg;
        bool useChosen;
        int exitStatus;
        std::string line;  // the one line on standard error ("" for none)
    } cases[] = {
        {"nowhere",
         {},
         false,
         false,
         2,
         "tarnel: Cannot read bootloader image: not found; looked in " + beside.string() + ", " +
             homeConfig.string() + ", /etc/tarnel/flash.ram"},
        {"in ~/.config", {{homeConfig, true}}, false, false, 0, ""},
        {"in XDG_CONFIG_HOME, not ~/.config",
         {{xdgConfig, true}, {homeConfig, false}},
         true,
         false,
         0,
         ""},
        {"beside the tool first",
         {{beside, false}, {homeConfig, true}},
         false,
         false,
         2,
         "tarnel: Cannot read bootloader image: " + beside.string() + ": no image record"},
        {"TARNEL_BOOTLOADER before the rest",
         {{chosen, true}, {beside, false}},
         false,
         true,
         0,
         ""},
        {"TARNEL_BOOTLOADER alone",
         {{beside, true}},
         false,
         true,
         2,
         "tarnel: Cannot read bootloader image: not found; looked in " + chosen.string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const fs::path& place : {beside, homeConfig, xdgConfig, chosen}) {
            fs::remove(place);
        }
        for (const auto& [path, good] : c.files) {
            Put(path, good);
        }
        SimRunRequest request;
        request.executable = Tool();
        request.arguments = {"-cc", "-p", (root_ / "board.rom").string()};
        request.environment = {"HOME=" + home.string(),
                               "XDG_CONFIG_HOME=" + (c.useXdg ? xdg.string() : ""),
                               "TARNEL_BOOTLOADER=" + (c.useChosen ? chosen.string() : "")};
        const SimRunResult run = RunTarnelSim(request);
        ASSERT_TRUE(run.started);
        ASSERT_FALSE(run.timedOut) << run.output;
        EXPECT_EQ(run.exitStatus, c.exitStatus) << run.output;
        const auto lines = LinesStartingWith(run.output, "tarnel: ");
        EXPECT_EQ(lines, c.line.empty() ? std::vector<std::string>{} : std::vector{c.line});
        EXPECT_EQ(run.flash[0x0100], c.exitStatus == 0 ? 0x2222 : 0xFFFF);
    }
}

TEST(UnattendedRun, HelpAndVersionNeedNoDisplay) {
    const struct {
        std::vector<std::string> arguments;
        std::vector<std::string> wanted;
    } cases[] = {
        {{"--help"},
         {"Usage: tarnel-sim [-p] [-c | -cc] [--adapter SERIAL|PORT] [IMAGE.rom]", "TARNEL_ADAPTER",
          "TARNEL_LOG", "TARNEL_BOOTLOADER", "~/.config/tarnel/flash.ram", "/etc/tarnel/flash.ram",
          "2048 words", "Exit status"}},
        {{"-cc", "-p", "--version", "board.rom"}, {"tarnel-sim " TARNEL_PROJECT_VERSION "\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        SimRunRequest request;
        request.arguments = c.arguments;
        request.headless = true;
        const SimRunResult run = RunTarnelSim(request);
        ASSERT_TRUE(run.started);
        ASSERT_FALSE(run.timedOut) << run.output;
        EXPECT_EQ(run.exitStatus, 0) << run.output;
        for (const std::string& text : c.wanted) {
            EXPECT_NE(run.output.find(text), std::string::npos) << text << "\n" << run.output;
        }
        EXPECT_TRUE(run.calls.empty()) << "no adapter was touched";
    }
}

// An X server of the test's own (Xvfb), on the display number it picks itself.
class VirtualDisplay {
public:
    VirtualDisplay() {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            const std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-noreset",
                     "-screen", "0", "640x480x24", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        // The server writes its display number once it accepts clients.
        pollfd ready{fds[0], POLLIN, 0};
        char number[16] = {};
        if (pid_ > 0 && ::poll(&ready, 1, 10000) == 1) {
            const auto got = ::read(fds[0], number, sizeof number - 1);
            if (got > 0 && number[0] >= '0' && number[0] <= '9') {
                display_ = ":" + std::string(number, std::strcspn(number, "\n"));
            }
        }
        // Kept open while the server runs: it may write to it again.
        numberPipe_ = fds[0];
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(numberPipe_);
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // ":N", or empty when no server could be started.
    const std::string& Name() const { return display_; }

private:
    pid_t pid_ = -1;
    int numberPipe_ = -1;
    std::string display_;
};

TEST(UnattendedRun, StopRequestEndsTheToolWhileAMessageBoxIsOpen) {
    VirtualDisplay display;
    if (display.Name().empty()) {
        GTEST_SKIP() << "Xvfb could not be started";
    }
    QTemporaryDir dir;
    const fs::path log = dir.filePath("events.log").toStdString();
    // Without -c the box waits for the user; the stop request must end the run anyway.
    ToolStopper stopper(log, "message key=ErrBootFile", std::chrono::seconds(20));
    SimRunRequest request;
    request.arguments = {"-p", "board.rom"};
    request.headless = true;
    request.timeout = std::chrono::seconds(20);
    request.environment = {"DISPLAY=" + display.Name(), "TARNEL_LOG=" + log.string(),
                           "TARNEL_BOOTLOADER=" + dir.filePath("none.ram").toStdString()};
    const SimRunResult run = RunTarnelSim(request);
    const ToolStop stop = stopper.Result();
    ASSERT_TRUE(run.started);
    ASSERT_FALSE(run.timedOut) << run.output;
    EXPECT_TRUE(stop.sent);
    EXPECT_EQ(run.exitStatus, 2) << run.output;
    EXPECT_TRUE(LinesStartingWith(run.output, "tarnel: ").empty()) << "the report was a box";
}

}  // namespace
}  // namespace tarnel::test
