// Windows: Ctrl+Break on the console closes the main window from the system's thread.
// (Wine's GenerateConsoleCtrlEvent fails, so the handler is called on a thread as the
// system calls it.)

#include <gtest/gtest.h>
#include <windows.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <thread>

#include "app/ConsoleControl.h"

namespace tarnel {
namespace {

TEST(ConsoleControl, CtrlBreakClosesTheWindowAsItsCloseBoxDoes) {
    QWidget window;
    window.show();
    {
        const ConsoleCloseHandler handler(&window);
        bool handled = false;
        std::thread system([&handled] { handled = CloseOnConsoleEvent(CTRL_BREAK_EVENT); });
        system.join();
        EXPECT_TRUE(handled);
        QElapsedTimer waited;
        waited.start();
        while (window.isVisible() && waited.elapsed() < 5000) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace tarnel
