// What the real tarnel asks of the chip on endpoint 0, and how it meets bulk transfers
// that fail while the adapter stays plugged in (a stall, a transfer the chip never takes,
// a short one, a transaction error on the way in), compared with the same fault of the
// simulated backend.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "ToolFolder.h"
#include "support/ImageFile.h"
#include "support/SimProcess.h"

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;

const std::map<unsigned, std::uint16_t> kThreePages = {
    {0x0000, 0x1111}, {0x0100, 0x2222}, {0x0200, 0x3333}};

// The fields after "<ms> 001/002 <kind> " of each trace line of that kind.
std::vector<std::string> Fields(const std::vector<std::string>& trace, const std::string& kind) {
    std::vector<std::string> out;
    const std::string key = " 001/002 " + kind + " ";
    for (const std::string& line : trace) {
        if (const auto at = line.find(key); at != std::string::npos && line[0] != '#') {
            out.push_back(line.substr(at + key.size()));
        }
    }
    return out;
}

// The keys of the messages an event log reports, in order.
std::vector<std::string> MessageKeys(const fs::path& log) {
    std::vector<std::string> keys;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
        if (const auto at = line.find(" message key="); at != std::string::npos) {
            const auto from = at + 13;
            keys.push_back(line.substr(from, line.find(' ', from) - from));
        }
    }
    return keys;
}

struct Outcome {
    int exitStatus = -1;
    std::vector<std::string> messages;
    std::vector<std::uint16_t> flash;
    std::vector<std::string> trace;
    std::string output;
};

class UsbTransfers : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = MakeToolFolder();
        ASSERT_FALSE(dir_.empty());
        image_ = (dir_ / "three.rom").string();
        WriteImageFile(image_, kThreePages);
        ::chmod(image_.c_str(), 0644);
        expectedFlash_.assign(0x8000, 0xFFFF);
        for (const auto& [address, value] : kThreePages) {
            expectedFlash_[address] = value;
        }
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    // An unattended run of the real tarnel under the emulator, headless, so that a failed
    // step ends the run; with its event log.
    static Outcome OverUsb(std::vector<std::string> options, const char* faults = "") {
        const fs::path log = dir_ / "usb.log";
        fs::remove(log);
        SimRunRequest request;
        request.executable = TARNEL_USB_EMULATOR;
        request.arguments = std::move(options);
        request.arguments.insert(
            request.arguments.end(),
            {"--usb-trace=trace.txt", "--", "env", "TARNEL_LOG=" + log.string(),
             (dir_ / "tarnel").string(), "-cc", "-p", image_});
        request.faults = faults;
        request.headless = true;
        request.timeout = std::chrono::seconds(20);
        const SimRunResult run = RunTarnelSim(request);
        EXPECT_FALSE(run.timedOut) << "the run hung\n" << run.output;
        EXPECT_NE(run.exitStatus, 69) << run.output;  // umockdev could not be set up
        return {run.exitStatus, MessageKeys(log), run.flash, run.trace, run.output};
    }

    // The same run on tarnel-sim with a fault of its driver calls.
    static Outcome Simulated(const std::string& faults) {
        const fs::path log = dir_ / "sim.log";
        fs::remove(log);
        SimRunRequest request;
        request.executable = "/usr/bin/env";
        request.arguments = {"TARNEL_LOG=" + log.string(), TarnelSimPath(), "-cc", "-p", image_};
        request.faults = faults;
        request.headless = true;
        const SimRunResult run = RunTarnelSim(request);
        EXPECT_FALSE(run.timedOut) << run.output;
        return {run.exitStatus, MessageKeys(log), run.flash, run.trace, run.output};
    }

    static fs::path dir_;
    static std::string image_;
    static std::vector<std::uint16_t> expectedFlash_;
};

fs::path UsbTransfers::dir_;
std::string UsbTransfers::image_;
std::vector<std::uint16_t> UsbTransfers::expectedFlash_;

// Vendor requests of the chip as "<request> <value> <index>", in hex as the USB trace shows
// them; every one is an OUT request (type 40) that succeeds. libftdi's open sends the
// first two; closing sends none; the rest are the tool's own. Purge values are libftdi's:
// 1 empties the queue towards the adapter, 2 the queue towards the host.
const std::vector<std::string> kOpen = {
    "00 0000 0001",  // reset the chip
    "03 4138 0000",  // 9600 baud: 3 MHz / 312.5
    "09 0001 0001",  // latency timer 1 ms: every answer waits for it
    "00 0001 0001",  // purge both queues
    "00 0002 0001",
};
// The recovery pulse after a silent probe: bit-bang with D7 an output, purge, 9600 baud
// (the tool asks for 2400, libftdi multiplies by 4 in bit-bang mode), the pulse itself on
// bulk OUT, normal mode again, purge.
const std::vector<std::string> kRecovery = {
    "0B 0180 0001", "00 0001 0001", "00 0002 0001", "03 4138 0000",
    "0B 0000 0001", "00 0001 0001", "00 0002 0001",
};

std::vector<std::string> VendorRequests(const std::vector<std::string>& trace) {
    std::vector<std::string> out;
    for (const std::string& fields : Fields(trace, "CONTROL")) {
        if (fields.rfind("40 ", 0) == 0) {
            EXPECT_NE(fields.find(" -> 0 "), std::string::npos) << fields;
            out.push_back(fields.substr(3, 12));
        } else {
            EXPECT_EQ(fields.rfind("80 06 ", 0), 0u) << "only descriptors besides: " << fields;
        }
    }
    return out;
}

TEST_F(UsbTransfers, ControlRequestsOfARunAreExactlyTheExpectedOnes) {
    std::vector<std::string> withRecovery = kOpen;
    withRecovery.insert(withRecovery.end(), kRecovery.begin(), kRecovery.end());
    const struct {
        const char* name;
        const char* faults;
        std::vector<std::string> expected;
    } runs[] = {
        {"a whole Program request: attach, program, detach", "", kOpen},
        {"the probe is not answered until the recovery pulse", "silent-probe=1", withRecovery},
    };
    for (const auto& r : runs) {
        SCOPED_TRACE(r.name);
        const Outcome run = OverUsb({}, r.faults);
        EXPECT_EQ(run.exitStatus, 0) << run.output;
        EXPECT_EQ(VendorRequests(run.trace), r.expected);
    }
}

// Bulk OUT transfers of the three-page run, one per write of the link: 1-2 open the
// link, 3 attaches, 4 the set-up, 5-18 the preparation, 19-68 the upload, 69-72 the erase
// and the first page, 73-80 the next two pages, 81-85 the restart, 86-87 the detach.
struct TransferFault {
    const char* phase;
    unsigned transfer;
};
const TransferFault kTransfers[] = {
    {"attach", 3}, {"upload", 40}, {"erase", 69}, {"page", 74}, {"restart", 82},
};
// The restart reads nothing: a failed IN there is met by the last page's answer.
const TransferFault kReads[] = {
    {"attach", 3}, {"upload", 40}, {"erase", 69}, {"page", 74}, {"last page", 80},
};

TEST_F(UsbTransfers, ABulkOutThatFailsEndsTheRequestAsAFailedWriteOfTheSimulatorDoes) {
    // A transfer the chip never takes ends by the host's write time-out: 1 s once attached,
    // and a bound of a few seconds before the attach has set it (the link writes without
    // one then), so only a few of those.
    const struct {
        const char* how;
        TransferFault at;
    } cases[] = {
        {"stall", kTransfers[0]},   {"stall", kTransfers[1]},   {"stall", kTransfers[2]},
        {"stall", kTransfers[3]},   {"stall", kTransfers[4]},   {"timeout", kTransfers[0]},
        {"timeout", kTransfers[1]}, {"timeout", kTransfers[3]},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.how) + " at transfer " + std::to_string(c.at.transfer) + " (" +
                     c.at.phase + ")");
        const Outcome usb =
            OverUsb({"--out-fails-at=" + std::to_string(c.at.transfer) + ":" + c.how});
        const Outcome sim = Simulated("write-error=" + std::to_string(c.at.transfer));
        EXPECT_EQ(usb.exitStatus, sim.exitStatus) << usb.output;
        EXPECT_EQ(usb.messages, sim.messages);
        EXPECT_EQ(usb.flash, sim.flash);
        EXPECT_EQ(Fields(usb.trace, "RELEASE"), std::vector<std::string>{"0 -> 0"});
    }
}

TEST_F(UsbTransfers, AShortBulkOutIsCompletedByTheRestAndProgramsTheImage) {
    for (const TransferFault& f : kTransfers) {
        SCOPED_TRACE(std::string("short at transfer ") + std::to_string(f.transfer) + " (" +
                     f.phase + ")");
        const Outcome usb = OverUsb({"--out-fails-at=" + std::to_string(f.transfer) + ":short"});
        EXPECT_EQ(usb.exitStatus, 0) << usb.output;
        EXPECT_EQ(usb.flash, expectedFlash_);
        EXPECT_EQ(Fields(usb.trace, "RELEASE"), std::vector<std::string>{"0 -> 0"});
    }
}

TEST_F(UsbTransfers, ABulkInThatFailsOnceEndsTheRequestAsAFailedReadOfTheSimulatorDoes) {
    // The simulator's read that the first IN after bulk OUT N serves: the first FT_Read
    // after its N-th FT_Write.
    const Outcome clean = Simulated("");
    ASSERT_EQ(clean.exitStatus, 0) << clean.output;
    const auto readAfterWrite = [&clean](unsigned n) {
        unsigned writes = 0;
        unsigned reads = 0;
        for (const std::string& line : clean.trace) {
            writes += line.rfind("FT_Write ", 0) == 0;
            if (line.rfind("FT_Read ", 0) == 0 && ++reads && writes >= n) {
                return reads;
            }
        }
        return 0u;
    };
    for (const TransferFault& f : kReads) {
        SCOPED_TRACE(std::string("IN fails after transfer ") + std::to_string(f.transfer) + " (" +
                     f.phase + ")");
        const Outcome usb = OverUsb({"--in-fails-after=" + std::to_string(f.transfer)});
        const Outcome sim = Simulated("read-error=" + std::to_string(readAfterWrite(f.transfer)));
        EXPECT_EQ(usb.exitStatus, sim.exitStatus) << usb.output;
        EXPECT_EQ(usb.messages, sim.messages);
        EXPECT_EQ(usb.flash, sim.flash);
        EXPECT_EQ(Fields(usb.trace, "RELEASE"), std::vector<std::string>{"0 -> 0"});
    }
}

}  // namespace
}  // namespace tarnel::test
