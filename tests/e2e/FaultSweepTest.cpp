// One transfer fault per run, at every driver write and read of a whole programming run:
// whatever fails, the tool never reports success for a flash that does not hold the image,
// and every run ends by itself with the adapter closed.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <thread>

#include "support/ImageFile.h"
#include "support/Portable.h"
#include "support/SimProcess.h"

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;

struct CallCounts {
    unsigned writes = 0;
    unsigned reads = 0;
};

// Counts the writes and reads among `calls`, up to (not including) the first call that
// starts with `stop`.
CallCounts CountCalls(const std::vector<std::string>& calls, const std::string& stop = {}) {
    CallCounts counts;
    for (const std::string& call : calls) {
        if (!stop.empty() && call.rfind(stop, 0) == 0) {
            break;
        }
        counts.writes += call.rfind("FT_Write ", 0) == 0 ? 1 : 0;
        counts.reads += call.rfind("FT_Read ", 0) == 0 ? 1 : 0;
    }
    return counts;
}

struct FaultKind {
    const char* token;
    bool onWrites;  // the token counts writes; otherwise reads
};

constexpr FaultKind kFaultKinds[] = {
    {"write-error", true},
    {"short-write", true},
    {"read-error", false},
    {"short-read", false},
};

struct SweepCase {
    FaultKind kind;
    unsigned call;  // the faulty call, counting from 1 among the calls of its kind
    SimRunResult run;
};

TEST(FaultSweep, NoSingleTransferFaultEndsInSuccessWithoutTheImage) {
    const fs::path dir =
        fs::temp_directory_path() / ("tarnel-sweep-" + std::to_string(ProcessId()));
    fs::create_directories(dir);
    const std::string image = (dir / "image.rom").string();
    // Pages 0, 1 and 2, with words spread over each page so that a page that arrives cut
    // short cannot pass as whole.
    std::map<unsigned, std::uint16_t> words;
    for (unsigned page = 0; page < 3; ++page) {
        for (unsigned j = 0; j < 256; j += 17) {
            words[page * 256 + j] = static_cast<std::uint16_t>(0x1000 * (page + 1) + j);
        }
    }
    WriteImageFile(image, words, "\n");
    std::vector<std::uint16_t> expected(32768, 0xFFFF);
    for (const auto& [address, value] : words) {
        expected[address] = value;
    }

    const auto request = [&](const std::string& faults) {
        SimRunRequest r;
        r.arguments = {"-cc", "-p", image};
        r.faults = faults;
        r.headless = true;
        r.timeout = std::chrono::seconds(20);
        return r;
    };

    const SimRunResult healthy = RunTarnelSim(request(""));
    ASSERT_EQ(healthy.exitStatus, 0) << healthy.output;
    ASSERT_EQ(healthy.flash, expected);
    const CallCounts total = CountCalls(healthy.calls);
    // The attach ends by setting the channel's time-outs; a fault before that can only be
    // an adapter failure.
    const CallCounts attach = CountCalls(healthy.calls, "FT_SetTimeouts 1000 1000");
    ASSERT_GT(total.writes, attach.writes);
    ASSERT_GT(total.reads, attach.reads);

    std::vector<SweepCase> cases;
    for (const FaultKind& kind : kFaultKinds) {
        const unsigned calls = kind.onWrites ? total.writes : total.reads;
        for (unsigned call = 1; call <= calls; ++call) {
            cases.push_back({kind, call, {}});
        }
    }
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    for (unsigned w = 0; w < std::max(2u, std::thread::hardware_concurrency()); ++w) {
        workers.emplace_back([&] {
            for (std::size_t i = next++; i < cases.size(); i = next++) {
                SweepCase& c = cases[i];
                c.run =
                    RunTarnelSim(request(std::string(c.kind.token) + "=" + std::to_string(c.call)));
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    fs::remove_all(dir);

    for (const SweepCase& c : cases) {
        const SimRunResult& run = c.run;
        SCOPED_TRACE(std::string(c.kind.token) + "=" + std::to_string(c.call));
        ASSERT_TRUE(run.started);
        ASSERT_FALSE(run.timedOut) << run.output;
        // The device is closed last; a failed attach may list the devices afterwards to
        // say which are connected, which opens none.
        auto last = run.calls.rbegin();
        while (last != run.calls.rend() && (last->rfind("FT_CreateDeviceInfoList", 0) == 0 ||
                                            last->rfind("FT_GetDeviceInfoDetail", 0) == 0)) {
            ++last;
        }
        ASSERT_NE(last, run.calls.rend());
        EXPECT_EQ(last->rfind("FT_Close", 0), 0u) << *last;
        const unsigned attachCalls = c.kind.onWrites ? attach.writes : attach.reads;
        switch (run.exitStatus) {
            case 0:
                EXPECT_EQ(run.flash, expected) << "success reported for a flash without the image";
                break;
            case 1:
                EXPECT_GT(c.call, attachCalls)
                    << "a programming failure before the adapter was attached";
                break;
            case 2:
                EXPECT_LE(c.call, attachCalls)
                    << "an adapter failure after the adapter was attached";
                break;
            default:
                ADD_FAILURE() << "exit status " << run.exitStatus << "\n" << run.output;
        }
        if (run.exitStatus != 0) {
            for (std::size_t a = 0; a < expected.size(); ++a) {
                if (run.flash[a] != expected[a] && run.flash[a] != 0xFFFF) {
                    ADD_FAILURE() << "flash word " << a << " holds " << run.flash[a];
                    break;
                }
            }
        }
    }
}

}  // namespace
}  // namespace tarnel::test
