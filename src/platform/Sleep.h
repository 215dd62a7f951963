#pragma once
// The operating system's sleep, behind a replaceable function so that tests and the
// zero-latency simulator need not wait.

#include <functional>

namespace tarnel {

void SleepMs(unsigned milliseconds);

// Replaces the sleep; an empty function restores the real one.
void SetSleepFunction(std::function<void(unsigned)> sleeper);

}  // namespace tarnel
