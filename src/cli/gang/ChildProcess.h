#pragma once
// The child processes of a gang: each started with its standard output and error on one
// pipe to the parent, its standard input empty. On Linux a child gets a process group of
// its own, so that a Ctrl-C on the terminal reaches only the parent, which passes the stop
// on; on Windows the children share the parent's console and get its Ctrl-C themselves.
// Every wait here is bounded by the time the caller gives.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace tarnel::cli {

struct ChildEnd {
    bool exited = false;  // ended by itself with `exitCode`
    int exitCode = -1;
    int signal = 0;  // Linux: the signal that ended it (0: none)
};

class ChildProcess {
public:
    virtual ~ChildProcess() = default;

    // Appends to `into` what the child has written and the pipe holds now, without
    // waiting. Returns false once the child's end of the pipe is closed and all is read.
    virtual bool ReadAvailable(std::string& into) = 0;

    // Whether the child has ended; when it has, `end` says how. Does not wait.
    virtual bool Ended(ChildEnd& end) = 0;

    // Asks the child to stop as a user's Ctrl-C (or `stopSignal`, on Linux) would.
    virtual void RequestStop(int stopSignal) = 0;

    // Ends the child at once (it stopped answering).
    virtual void Kill() = 0;
};

// Starts `arguments` ([0]: the executable's path; all UTF-8). Returns null with `error`
// set (the system's reason) when it cannot be started.
std::unique_ptr<ChildProcess> StartChild(const std::vector<std::string>& arguments,
                                         std::string& error);

// Waits until one of `children` may have something to read or has ended, at most
// `timeout`; returns early when a signal arrives. Waits the whole time for none.
void WaitForChildren(const std::vector<ChildProcess*>& children, std::chrono::milliseconds timeout);

}  // namespace tarnel::cli
