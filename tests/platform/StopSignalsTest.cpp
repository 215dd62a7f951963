// The stop seam as the system drives it: the first stop is told at once with its exit
// status, then on a thread that may post work; a second ends the process at once. On
// Windows the console handler's work is called on a thread, as the system calls it.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/StopSignals.h"

namespace tarnel {
namespace {

std::atomic<int> toldAtOnce{0};
std::atomic<int> toldAfter{0};

void AtOnce(int status) {
    toldAtOnce = status;
}
void After(int status) {
    toldAfter = status;
}

// Sends one stop as the system would; returns the exit status it should give.
int SendStop() {
#ifdef _WIN32
    bool handled = false;
    std::thread system([&handled] { handled = HandleConsoleEvent(CTRL_BREAK_EVENT); });
    system.join();
    EXPECT_TRUE(handled);
    return 130;
#else
    std::raise(SIGTERM);
    return 143;
#endif
}

TEST(StopSignals, TheFirstStopIsToldTwiceOverAndASecondEndsTheProcess) {
    toldAtOnce = 0;
    toldAfter = 0;
    {
        const StopSignals signals(&AtOnce, &After);
        const int status = SendStop();
        EXPECT_EQ(toldAtOnce, status);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (toldAfter == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        EXPECT_EQ(toldAfter, status);
#ifdef _WIN32
        EXPECT_FALSE(HandleConsoleEvent(0x7F)) << "not a stop";
#endif
    }
#ifndef _WIN32
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const StopSignals signals(&AtOnce);
            SendStop();
            SendStop();
        },
        ::testing::ExitedWithCode(143), "");
#endif
}

}  // namespace
}  // namespace tarnel
