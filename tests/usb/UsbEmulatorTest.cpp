// The real tarnel, through libftdi1 and libusb, against emulated adapters at the kernel
// boundary (tarnel-usb-emulator): what the tool sends over USB, and how it meets the
// faults of a real machine: no permission, an unplugged cable, a bound serial driver,
// other devices on the bus.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "ToolFolder.h"
#include "support/ImageFile.h"
#include "support/SimProcess.h"
#include "support/ToolStopper.h"

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;

// The trace lines of one kind ("OUT", "CLAIM", ...) of one device, without the time
// stamp and the device: "OUT D0 -> 0" becomes "D0 -> 0".
std::vector<std::string> UsbLines(const SimRunResult& run, const std::string& device,
                                  const std::string& kind) {
    std::vector<std::string> lines;
    const std::string key = " " + device + " " + kind + " ";
    for (const std::string& call : run.calls) {
        if (const auto at = call.find(key); at != std::string::npos) {
            lines.push_back(call.substr(at + key.size()));
        }
    }
    return lines;
}

// The position in the trace of the first line that contains `text`, or -1.
long LineOf(const SimRunResult& run, const std::string& text) {
    for (std::size_t i = 0; i < run.trace.size(); ++i) {
        if (run.trace[i].find(text) != std::string::npos) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

double StampMs(const std::string& line) {
    return std::stod(line.substr(0, line.find(' ')));
}

// The command's wall and CPU seconds from the emulator's closing line.
bool CommandTimes(const SimRunResult& run, double& wall, double& cpu) {
    for (const std::string& line : run.trace) {
        int status = 0;
        if (std::sscanf(line.c_str(), "# emulator: command ended, status %d, wall %lf s, cpu %lf s",
                        &status, &wall, &cpu) == 3) {
            return true;
        }
    }
    return false;
}

class UsbEmulator : public ::testing::Test {
protected:
    // One copy of tarnel with a copy of the stand-in bootloader beside it, in a folder that
    // every user can read (the no-permission case runs the tool as another user).
    static void SetUpTestSuite() {
        dir_ = MakeToolFolder();
        ASSERT_FALSE(dir_.empty());
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    static std::string WriteImage(const std::string& name,
                                  const std::map<unsigned, std::uint16_t>& words) {
        const std::string path = (dir_ / name).string();
        WriteImageFile(path, words);
        ::chmod(path.c_str(), 0644);
        return path;
    }
    static std::string ThreePageImage() {
        return WriteImage("three.rom", {{0x0000, 0x1111}, {0x0100, 0x2222}, {0x0200, 0x3333}});
    }

    // An unattended Program run of tarnel under the emulator with `options`.
    static SimRunRequest Run(const std::string& image, std::vector<std::string> options,
                             const char* faults = "") {
        SimRunRequest request;
        request.executable = TARNEL_USB_EMULATOR;
        request.arguments = std::move(options);
        request.arguments.insert(
            request.arguments.end(),
            {"--usb-trace=trace.txt", "--", (dir_ / "tarnel").string(), "-cc", "-p", image});
        request.faults = faults;
        return request;
    }

    static SimRunResult Checked(const SimRunRequest& request) {
        SimRunResult run = RunTarnelSim(request);
        EXPECT_TRUE(run.started);
        EXPECT_FALSE(run.timedOut) << run.output;
        // 69: umockdev could not be set up or not loaded into the tool; the output says why.
        EXPECT_NE(run.exitStatus, 69) << run.output;
        return run;
    }

    static fs::path dir_;
};

fs::path UsbEmulator::dir_;

TEST_F(UsbEmulator, ProgramsImagesWithTheWritesOfTheSimulatedBackend) {
    std::map<unsigned, std::uint16_t> full;
    for (unsigned address = 0; address < 0x8000; ++address) {
        full[address] = static_cast<std::uint16_t>(address * 7 + 1);
    }
    const std::map<unsigned, std::uint16_t> three = {
        {0x0000, 0x1111}, {0x0100, 0x2222}, {0x0200, 0x3333}};
    const std::pair<const char*, const std::map<unsigned, std::uint16_t>*> images[] = {
        {"three pages", &three}, {"all 128 pages", &full}};
    for (const auto& [name, words] : images) {
        SCOPED_TRACE(name);
        const std::string image = WriteImage("image.rom", *words);
        const SimRunResult usb = Checked(Run(image, {}));
        EXPECT_EQ(usb.exitStatus, 0) << usb.output;
        EXPECT_TRUE(usb.protocolErrors.empty()) << usb.protocolErrors.front();
        std::vector<std::uint16_t> expectedFlash(0x8000, 0xFFFF);
        for (const auto& [address, value] : *words) {
            expectedFlash[address] = value;
        }
        EXPECT_EQ(usb.flash, expectedFlash);

        SimRunRequest simRequest;
        simRequest.arguments = {"-cc", "-p", image};
        const SimRunResult sim = RunTarnelSim(simRequest);
        ASSERT_EQ(sim.exitStatus, 0) << sim.output;
        std::vector<std::string> simWrites;
        for (const std::string& call : sim.calls) {
            if (call.rfind("FT_Write ", 0) == 0) {
                simWrites.push_back(call.substr(9, call.find(' ', 9) - 9) + " -> 0");
            }
        }
        const std::vector<std::string> usbWrites = UsbLines(usb, "001/002", "OUT");
        ASSERT_EQ(usbWrites.size(), simWrites.size());
        for (std::size_t i = 0; i < simWrites.size(); ++i) {
            ASSERT_EQ(usbWrites[i], simWrites[i]) << "write " << i;
        }
        EXPECT_EQ(UsbLines(usb, "001/002", "RELEASE"), std::vector<std::string>{"0 -> 0"});
    }
}

TEST_F(UsbEmulator, ASilentAdapterIsProbedForTheReadTimeOutThenBroughtBackByThePulse) {
    const SimRunResult run = Checked(Run(ThreePageImage(), {}, "silent-probe=1"));
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    // The simulated adapter checks the pulse: bit-bang on D7, 9600 baud, 248 single zeros.
    EXPECT_TRUE(run.protocolErrors.empty()) << run.protocolErrors.front();
    const long probe = LineOf(run, "001/002 OUT D0 ");
    const long bitBang = LineOf(run, "001/002 CONTROL 40 0B 0180 ");
    ASSERT_GE(probe, 0);
    ASSERT_GT(bitBang, probe);
    const double waitedMs = StampMs(run.trace[bitBang]) - StampMs(run.trace[probe]);
    EXPECT_GE(waitedMs, 100.0);
    EXPECT_LT(waitedMs, 1000.0);
}

TEST_F(UsbEmulator, EraseAndPageFailuresLeaveTheToolOpenUntilItIsClosed) {
    const fs::path log = dir_ / "events.log";
    for (const char* faults : {"erase-error", "page-error=1"}) {
        SCOPED_TRACE(faults);
        fs::remove(log);
        SimRunRequest request = Run(ThreePageImage(), {}, faults);
        // The tool with its event log: closed once the request has ended in the log and the
        // tool waits for the user.
        const auto tool = std::find(request.arguments.begin(), request.arguments.end(), "--") + 1;
        request.arguments.insert(tool, {"env", "TARNEL_LOG=" + log.string()});
        ToolStopper stopper(log, " end outcome=failure", std::chrono::seconds(20));
        const SimRunResult run = Checked(request);
        EXPECT_TRUE(stopper.Result().sent) << "the tool closed by itself";
        EXPECT_EQ(run.exitStatus, 1) << run.output;
        EXPECT_EQ(UsbLines(run, "001/002", "RELEASE"), std::vector<std::string>{"0 -> 0"});
    }
}

struct UsbFault {
    const char* name;
    std::vector<std::string> options;
    int exitStatus;
    std::function<void(const SimRunResult&)> check;
};

TEST_F(UsbEmulator, UsbFaultsEndTheRunAsAUserExpects) {
    const std::string image = ThreePageImage();
    const UsbFault cases[] = {
        {"no permission on the device node",
         {"--no-permission"},
         2,
         [](const SimRunResult& run) {
             EXPECT_TRUE(UsbLines(run, "001/002", "CLAIM").empty());
             double wall = 0;
             double cpu = 0;
             ASSERT_TRUE(CommandTimes(run, wall, cpu));
             EXPECT_LT(wall, 5.0) << "not found is reported at once";
         }},
        {"the cable is pulled during the upload",
         {"--unplug-at=30"},
         1,
         [](const SimRunResult& run) {
             EXPECT_GE(LineOf(run, "# emulator: 001/002 unplugged"), 0);
             EXPECT_EQ(UsbLines(run, "001/002", "OUT").size(), 29u);
             // The tool still closes the device it held; the kernel answers ENODEV.
             EXPECT_EQ(UsbLines(run, "001/002", "RELEASE"), std::vector<std::string>{"0 -> -19"});
         }},
        {"the serial driver is bound",
         {"--serial-driver"},
         0,
         [](const SimRunResult& run) {
             const long detach = LineOf(run, "001/002 DETACH-DRIVER 0 -> 0");
             const long claim = LineOf(run, "001/002 CLAIM 0 -> 0");
             const long release = LineOf(run, "001/002 RELEASE 0 -> 0");
             const long attach = LineOf(run, "001/002 ATTACH-DRIVER 0 -> 0");
             EXPECT_TRUE(detach >= 0 && detach < claim && claim < release && release < attach);
             EXPECT_EQ(LineOf(run, "left without its serial driver"), -1);
             EXPECT_EQ(run.flash[0x0200], 0x3333);
         }},
        // Adapters are listed first: the converter at the lower port does not hide one.
        {"a serial converter is plugged in at a lower port",
         {"--foreign-first"},
         0,
         [](const SimRunResult& run) {
             EXPECT_TRUE(UsbLines(run, "001/002", "CLAIM").empty());
             EXPECT_TRUE(UsbLines(run, "001/002", "OUT").empty());
             EXPECT_EQ(run.flash[0x0200], 0x3333);
         }},
        {"two adapters: the first by port is programmed",
         {"--adapters=2"},
         0,
         [](const SimRunResult& run) {
             EXPECT_EQ(run.flash[0x0200], 0x3333);
             EXPECT_TRUE(UsbLines(run, "001/003", "CLAIM").empty());
         }},
    };
    for (const UsbFault& c : cases) {
        SCOPED_TRACE(c.name);
        SimRunRequest request = Run(image, c.options);
        // Unattended on a machine without a display, a failed step ends the run by itself.
        request.headless = true;
        request.timeout = std::chrono::seconds(20);
        const SimRunResult run = Checked(request);
        EXPECT_EQ(run.exitStatus, c.exitStatus) << run.output;
        EXPECT_EQ(LineOf(run, "still claimed"), -1);
        c.check(run);
    }
}

TEST_F(UsbEmulator, WaitingForAnAnswerThatNeverComesCostsLittleCpu) {
    // From the line-idle sequence on, the target answers nothing: the first read of the
    // request waits out the one-second time-out of the attached link.
    SimRunRequest request = Run(ThreePageImage(), {"--lose-answers-at=2"});
    request.headless = true;
    const SimRunResult run = Checked(request);
    EXPECT_EQ(run.exitStatus, 1) << run.output;
    double wall = 0;
    double cpu = 0;
    ASSERT_TRUE(CommandTimes(run, wall, cpu));
    EXPECT_GE(wall, 1.0);
    EXPECT_LT(cpu, wall / 2) << "wall " << wall << " s, cpu " << cpu << " s";
}

// A full image, every word programmed.
std::string FullImage(const std::filesystem::path& dir) {
    std::map<unsigned, std::uint16_t> words;
    for (unsigned address = 0; address < 0x8000; ++address) {
        words[address] = static_cast<std::uint16_t>(address * 7 + 1);
    }
    const std::string path = (dir / "full.rom").string();
    WriteImageFile(path, words);
    ::chmod(path.c_str(), 0644);
    return path;
}

TEST_F(UsbEmulator, AStopDuringTheRunReleasesTheAdapterAndNamesWhatTheFlashHolds) {
    const std::string image = FullImage(dir_);
    const fs::path log = dir_ / "stop.log";
    const std::string logVariable = "TARNEL_LOG=" + log.string();
    const std::vector<std::vector<std::string>> tools = {
        {"env", logVariable, (dir_ / "tarnel").string(), "-cc", "-p", image},
        {"env", logVariable, "TARNEL_BOOTLOADER=" + (dir_ / "flash.ram").string(), TARNEL_CLI_TOOL,
         image},
    };
    for (const auto& tool : tools) {
        SCOPED_TRACE(tool[2]);
        fs::remove(log);
        SimRunRequest request;
        request.executable = TARNEL_USB_EMULATOR;
        // Slow answers: the run takes seconds, and the stop lands in its middle.
        request.arguments = {"--answer-delay=5", "--usb-trace=trace.txt", "--"};
        request.arguments.insert(request.arguments.end(), tool.begin(), tool.end());
        // SIGTERM once the request has started and the tool waits on the adapter.
        ToolStopper stopper(log, " start image=", std::chrono::seconds(20));
        const SimRunResult run = Checked(request);
        EXPECT_TRUE(stopper.Result().sent) << "the run ended before the stop";
        EXPECT_EQ(run.exitStatus, 143) << run.output;
        EXPECT_EQ(UsbLines(run, "001/002", "RELEASE"), std::vector<std::string>{"0 -> 0"});

        // The one line says what the flash holds, and it does.
        std::smatch said;
        const std::regex line(": Programming interrupted: (.*)\n");
        ASSERT_TRUE(std::regex_search(run.output, said, line)) << run.output;
        const std::string detail = said[1];
        std::smatch pages;
        int last = -1;
        if (std::regex_search(detail, pages, std::regex("pages 0\\.\\.([0-9]+) programmed"))) {
            last = std::stoi(pages[1]);
        } else if (detail.find("unchanged") != std::string::npos) {
            continue;  // stopped before the erase: nothing to compare
        }
        ASSERT_EQ(run.flash.size(), 0x8000u);
        for (unsigned address = 0; address < 0x8000; ++address) {
            const std::uint16_t expected = static_cast<int>(address / 256) <= last
                                               ? static_cast<std::uint16_t>(address * 7 + 1)
                                               : 0xFFFF;
            ASSERT_EQ(run.flash[address], expected) << "word " << address << "; " << detail;
        }
    }
}

// A process that dies holding the adapter (SIGKILL) leaves it to the next, as the kernel
// releases the claim of a closed device file.
TEST_F(UsbEmulator, AKilledRunLeavesTheAdapterToTheNext) {
    // Long enough at this answer delay to be killed in its middle.
    const std::string image = FullImage(dir_);
    const std::string cli = TARNEL_CLI_TOOL;
    SimRunRequest request;
    request.executable = TARNEL_USB_EMULATOR;
    request.arguments = {"--answer-delay=20",
                         "--usb-trace=trace.txt",
                         "--",
                         "sh",
                         "-c",
                         "timeout -s KILL 1 " + cli + " " + image + "; exec " + cli + " " + image};
    request.environment = {"TARNEL_BOOTLOADER=" + (dir_ / "flash.ram").string()};
    const SimRunResult run = Checked(request);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(UsbLines(run, "001/002", "CLAIM"), (std::vector<std::string>{"0 -> 0", "0 -> 0"}));
    EXPECT_GE(LineOf(run, "released: its client closed the node"), 0);
    EXPECT_EQ(run.flash[0x7FFF], static_cast<std::uint16_t>(0x7FFF * 7 + 1));
}

}  // namespace
}  // namespace tarnel::test
