#pragma once
// The ways a person stops the tool from outside, behind one seam: SIGINT, SIGTERM and SIGHUP
// (a closed terminal, a dropped session) on Linux; Ctrl+C, Ctrl+Break, the console's close,
// logoff and shutdown on Windows. While the handlers are installed SIGPIPE is ignored as
// well, for good: a write to a closed pipe then fails with EPIPE instead of ending the
// process.
//
// The exit status of a stop is 128 + the signal's number on Linux (130, 143, 129) and 130
// for every console event on Windows.

namespace tarnel {

// Told of a stop, with the exit status the process should end with.
using StopCallback = void (*)(int exitStatus);

// While an object lives, the first stop calls `onStop` at once: in the signal handler on
// Linux, on the system's thread on Windows, so it may only do what a signal handler may
// (store into a lock-free atomic). Then `afterStop`, when given, is called on a thread that
// is not the one the signal interrupted (a thread of this object's on Linux, the system's
// on Windows), where it may post work to an event loop. A further stop ends the process at
// once with its exit status: a person who asks twice does not wait for the clean-up.
// One object at a time.
class StopSignals {
public:
    explicit StopSignals(StopCallback onStop, StopCallback afterStop = nullptr);
    // Restores the default handling of the stop signals (SIGPIPE stays ignored). On Windows
    // a close, logoff or shutdown event waits for this (at most 4.5 s) before it lets the
    // system end the process.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
};

// Ignores SIGPIPE from now on (nothing on Windows), before anything is written: a write to
// a closed pipe then fails with EPIPE, and the run goes on with its exit code.
void IgnoreBrokenPipes();

#ifdef _WIN32
// What the installed console handler does with one event (CTRL_C_EVENT and so on), on the
// calling thread, as the system calls it: true when the event stops the tool (it was
// handled), false for others and when no StopSignals object lives.
bool HandleConsoleEvent(unsigned long event);
#endif

}  // namespace tarnel
