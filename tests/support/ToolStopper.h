#pragma once
// Stops a tool that a test runs as a process the polite way (SIGTERM, as a script or the
// desktop does), once the tool has shown that it reached the step the test waits for and
// sits idle in its event loop, instead of after a fixed time.
//
// The step is a line of the tool's event log (TARNEL_LOG) that contains a given text, and
// the tool is the process whose pid that line names; without a log, the tool is the child
// of this process (as RunTarnelSim starts it). Idle means, read from /proc: the tool
// catches SIGTERM (its close handler is in place) and its main thread sleeps. A tool that
// ends by itself before it is idle is never sent the signal, which the result says.
//
// The watch runs on a thread of its own from construction until Result(), which the test
// calls once the run it started has returned; every wait is bounded by the time-out.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace tarnel::test {

struct ToolStop {
    bool sent = false;   // SIGTERM was sent while the tool sat idle after the step
    bool found = false;  // the step (or, without a log, the tool) was seen
    int pid = 0;         // the tool's process, once found
};

class ToolStopper {
public:
    // Waits for a line of `log` that contains `awaited`; an empty `log` waits for the child
    // of this process instead.
    ToolStopper(std::filesystem::path log, std::string awaited, std::chrono::milliseconds timeout);
    ~ToolStopper();
    ToolStopper(const ToolStopper&) = delete;
    ToolStopper& operator=(const ToolStopper&) = delete;

    // Ends the watch (at once when it is still waiting) and tells what it did.
    ToolStop Result();

private:
    void Watch();

    std::filesystem::path log_;
    std::string awaited_;
    std::chrono::steady_clock::time_point deadline_;
    std::atomic<bool> stop_{false};
    ToolStop result_;
    std::thread thread_;
};

}  // namespace tarnel::test
