#include "platform/Sleep.h"

#include <chrono>
#include <thread>

namespace tarnel {
namespace {
std::function<void(unsigned)>& Sleeper() {
    static std::function<void(unsigned)> sleeper;
    return sleeper;
}
}  // namespace

void SleepMs(unsigned milliseconds) {
    if (Sleeper()) {
        Sleeper()(milliseconds);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SetSleepFunction(std::function<void(unsigned)> sleeper) {
    Sleeper() = std::move(sleeper);
}

}  // namespace tarnel
