#include "program/StopRequest.h"

#include <atomic>

namespace tarnel {
namespace {
// A signal handler may touch only lock-free atomics.
std::atomic<int> stopStatus{0};
static_assert(std::atomic<int>::is_always_lock_free);
}  // namespace

void RequestStop(int exitStatus) {
    int none = 0;
    // A status of 0 would read as no request.
    stopStatus.compare_exchange_strong(none, exitStatus != 0 ? exitStatus : 1);
}

bool StopRequested() {
    return stopStatus.load() != 0;
}

int StopExitStatus() {
    return stopStatus.load();
}

void ClearStopRequest() {
    stopStatus.store(0);
}

}  // namespace tarnel
