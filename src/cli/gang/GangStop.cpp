#include "cli/gang/GangStop.h"

#include <csignal>
#include <initializer_list>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tarnel::cli {
namespace {

volatile std::sig_atomic_t stopSignal = 0;

#ifdef _WIN32
BOOL WINAPI OnConsoleEvent(DWORD) {
    stopSignal = SIGINT;
    return TRUE;  // the parent ends by itself once its children have
}
#else
void OnSignal(int signal) {
    stopSignal = signal;
}
#endif

}  // namespace

void WatchForStop() {
#ifdef _WIN32
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: the parent's wait ends at once
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
#endif
}

int StopRequested() {
    return stopSignal;
}

}  // namespace tarnel::cli
