#include "support/ToolStopper.h"

#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>

namespace tarnel::test {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(2);

struct ProcessState {
    bool exists = false;
    char state = '?';  // R running, S sleeping, Z ended but not yet reaped, ...
    int parent = 0;
    bool catchesTerm = false;
};

ProcessState ReadState(int pid) {
    ProcessState s;
    const std::string dir = "/proc/" + std::to_string(pid);
    std::ifstream stat(dir + "/stat");
    std::string text;
    if (!std::getline(stat, text)) {
        return s;
    }
    // "pid (name) S ppid ...": the name may hold spaces and parentheses.
    const auto close = text.rfind(')');
    if (close == std::string::npos) {
        return s;
    }
    std::istringstream fields(text.substr(close + 1));
    fields >> s.state >> s.parent;
    s.exists = !fields.fail();
    std::ifstream status(dir + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigCgt:", 0) == 0) {
            const std::uint64_t caught = std::stoull(line.substr(7), nullptr, 16);
            s.catchesTerm = (caught >> (SIGTERM - 1)) & 1u;
        }
    }
    return s;
}

// The pid named by the first line of `log` that contains `awaited`, or 0.
int PidFromLog(const std::filesystem::path& log, const std::string& awaited) {
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find(" pid=");
        if (line.find(awaited) != std::string::npos && at != std::string::npos) {
            return std::atoi(line.c_str() + at + 5);
        }
    }
    return 0;
}

int ChildOfThisProcess() {
    const int self = ::getpid();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const int pid = std::stoi(name);
        if (const ProcessState s = ReadState(pid); s.exists && s.parent == self) {
            return pid;
        }
    }
    return 0;
}

}  // namespace

ToolStopper::ToolStopper(std::filesystem::path log, std::string awaited,
                         std::chrono::milliseconds timeout)
    : log_(std::move(log)),
      awaited_(std::move(awaited)),
      deadline_(std::chrono::steady_clock::now() + timeout),
      thread_([this] { Watch(); }) {}

ToolStopper::~ToolStopper() {
    Result();
}

ToolStop ToolStopper::Result() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    return result_;
}

void ToolStopper::Watch() {
    const auto waiting = [this] { return !stop_ && std::chrono::steady_clock::now() < deadline_; };
    int pid = 0;
    while (waiting() && pid == 0) {
        pid = log_.empty() ? ChildOfThisProcess() : PidFromLog(log_, awaited_);
        if (pid == 0) {
            std::this_thread::sleep_for(kPollInterval);
        }
    }
    if (pid == 0) {
        return;
    }
    result_.found = true;
    result_.pid = pid;
    while (waiting()) {
        const ProcessState s = ReadState(pid);
        if (!s.exists || s.state == 'Z') {
            return;  // it ended by itself
        }
        if (s.catchesTerm && s.state == 'S') {
            result_.sent = ::kill(pid, SIGTERM) == 0;
            return;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

}  // namespace tarnel::test
