#pragma once
// The high-resolution clock used to time a programming run.

#include <chrono>

namespace tarnel {

using Clock = std::chrono::steady_clock;

inline Clock::time_point ClockNow() {
    return Clock::now();
}

}  // namespace tarnel
