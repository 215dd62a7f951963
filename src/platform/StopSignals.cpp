#include "platform/StopSignals.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <cerrno>
#include <thread>
#endif

namespace tarnel {
namespace {

// Touched by signal handlers: lock-free atomics only.
std::atomic<StopCallback> onStopCallback{nullptr};
std::atomic<int> stopsSeen{0};

// True for the first stop since the handlers were installed; a further one ends the
// process at once with `exitStatus`.
bool FirstStop(int exitStatus) {
    if (stopsSeen.fetch_add(1) > 0) {
        std::_Exit(exitStatus);
    }
    if (const StopCallback onStop = onStopCallback.load()) {
        onStop(exitStatus);
    }
    return true;
}

#ifdef _WIN32
constexpr int kConsoleStopStatus = 130;
// The system has ended the process about 5 s after a close event; the clean-up takes well
// under that.
constexpr DWORD kCloseWaitMs = 4500;

std::atomic<StopCallback> afterStopCallback{nullptr};
std::atomic<bool> installed{false};
// Set when the object goes: the close event waits for it.
HANDLE handlingEnded = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    return HandleConsoleEvent(event) ? TRUE : FALSE;
}
#else
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The self-pipe to the watcher thread: the handler writes the exit status as one byte, the
// object's end writes 0.
int wakePipe[2] = {-1, -1};
// On the heap: a process that exits while the object lives must not meet a joinable
// thread's destructor.
std::thread* watcher = nullptr;

void OnStopSignal(int signal) {
    const int savedErrno = errno;
    const int status = 128 + signal;
    FirstStop(status);
    if (wakePipe[1] >= 0) {
        const auto byte = static_cast<unsigned char>(status);
        [[maybe_unused]] const auto written = ::write(wakePipe[1], &byte, 1);
    }
    errno = savedErrno;
}

void Watch(StopCallback afterStop) {
    for (;;) {
        unsigned char byte = 0;
        const auto got = ::read(wakePipe[0], &byte, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got != 1 || byte == 0) {
            return;
        }
        afterStop(byte);
    }
}
#endif

}  // namespace

void IgnoreBrokenPipes() {
#ifndef _WIN32
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
#endif
}

#ifdef _WIN32
StopSignals::StopSignals(StopCallback onStop, StopCallback afterStop) {
    stopsSeen = 0;
    onStopCallback = onStop;
    afterStopCallback = afterStop;
    if (handlingEnded == nullptr) {
        handlingEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    } else {
        ResetEvent(handlingEnded);
    }
    installed = true;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopSignals::~StopSignals() {
    installed = false;
    onStopCallback = nullptr;
    afterStopCallback = nullptr;
    // The handler stays registered (a waiting call may still be in it); it finds nothing
    // installed and leaves the event to the system.
    if (handlingEnded != nullptr) {
        SetEvent(handlingEnded);
    }
}

bool HandleConsoleEvent(unsigned long event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            break;
        default:
            return false;
    }
    if (!installed) {
        return false;
    }
    FirstStop(kConsoleStopStatus);
    if (const StopCallback afterStop = afterStopCallback.load()) {
        afterStop(kConsoleStopStatus);
    }
    // After a close, logoff or shutdown event the system ends the process as soon as this
    // returns: wait (bounded) until the tool has detached and ended its run.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && handlingEnded != nullptr) {
        WaitForSingleObject(handlingEnded, kCloseWaitMs);
    }
    return true;
}
#else
StopSignals::StopSignals(StopCallback onStop, StopCallback afterStop) {
    stopsSeen = 0;
    onStopCallback = onStop;
    if (afterStop != nullptr && ::pipe(wakePipe) == 0) {
        watcher = new std::thread(Watch, afterStop);
    }
    IgnoreBrokenPipes();
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kStopSignals) {
        ::sigaction(signal, &action, nullptr);
    }
}

StopSignals::~StopSignals() {
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    for (const int signal : kStopSignals) {
        ::sigaction(signal, &standard, nullptr);
    }
    onStopCallback = nullptr;
    if (watcher != nullptr) {
        const unsigned char end = 0;
        [[maybe_unused]] const auto written = ::write(wakePipe[1], &end, 1);
        watcher->join();
        delete watcher;
        watcher = nullptr;
    }
    for (int& fd : wakePipe) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}
#endif

}  // namespace tarnel
