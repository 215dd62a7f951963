// A stop from outside closes the main window from a thread that is not the window's, and
// stops the device work at once. On Windows the console handler's work is called on a
// thread as the system calls it (Wine's GenerateConsoleCtrlEvent fails); on Linux the
// process signals itself.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <csignal>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

#include "app/Application.h"
#include "app/EndRunOnStop.h"
#include "program/StopRequest.h"
#include "report/Report.h"
#include "support/ProcessGlobals.h"

namespace tarnel {
namespace {

TEST(EndRunOnStop, AStopClosesTheWindowAsItsCloseBoxDoes) {
    const test::ProcessGlobalsScope globals;
    int boxes = 0;
    const MessageBoxService before = SetMessageBoxService(
        [&boxes](const char*, const char*, std::int32_t, std::string_view) { return ++boxes; });
    QWidget window;
    window.show();
    {
        const EndRunOnStop handler(&window, &EndRunOnRequest);
#ifdef _WIN32
        bool handled = false;
        std::thread system([&handled] { handled = HandleConsoleEvent(CTRL_BREAK_EVENT); });
        system.join();
        EXPECT_TRUE(handled);
        const int expectedStatus = 130;
#else
        std::raise(SIGHUP);
        const int expectedStatus = 128 + SIGHUP;
#endif
        // The device work learns of it before the window does.
        EXPECT_EQ(StopExitStatus(), expectedStatus);
        QElapsedTimer waited;
        waited.start();
        while (window.isVisible() && waited.elapsed() < 5000) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
    EXPECT_FALSE(window.isVisible());
    // A failure the ending run reports after the stop is a line, never a box that would
    // hold the process open.
    ::testing::internal::CaptureStderr();
    ReportError(msg::ErrEICEcom, "after the stop");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(boxes, 0);
    EXPECT_NE(said.find("after the stop"), std::string::npos) << said;
    SetMessageBoxService(before);
}

}  // namespace
}  // namespace tarnel
