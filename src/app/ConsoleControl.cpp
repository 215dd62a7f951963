#include "app/ConsoleControl.h"

#include <windows.h>

#include <QMetaObject>
#include <QPointer>
#include <QWidget>
#include <mutex>

namespace tarnel {
namespace {

std::mutex windowLock;
QPointer<QWidget>* closeTarget = nullptr;
// What ends the run on the window's thread; null: closing the window.
void (*endRun)(QWidget*) = nullptr;
// Set once the event loop is over: the console's close event waits for it.
HANDLE loopEnded = nullptr;

// The system has ended the process about 5 s after a close event; the detach takes well
// under that.
constexpr DWORD kCloseWaitMs = 4500;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    return CloseOnConsoleEvent(event) ? TRUE : FALSE;
}

}  // namespace

// Runs on a thread of the system's: only posts the close to the window's own thread.
bool CloseOnConsoleEvent(unsigned long event) {
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
    {
        const std::lock_guard lock(windowLock);
        if (closeTarget == nullptr || closeTarget->isNull()) {
            return true;  // the tool is already ending
        }
        QWidget* window = closeTarget->data();
        QMetaObject::invokeMethod(
            window,
            [window, end = endRun] {
                if (end != nullptr) {
                    end(window);
                } else {
                    window->close();
                }
            },
            Qt::QueuedConnection);
    }
    // After a close, logoff or shutdown event the system ends the process as soon as this
    // returns: wait (bounded) until the window has closed and the loop has ended.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && loopEnded != nullptr) {
        WaitForSingleObject(loopEnded, kCloseWaitMs);
    }
    return true;
}

ConsoleCloseHandler::ConsoleCloseHandler(QWidget* mainWindow, void (*endRunOnRequest)(QWidget*)) {
    {
        const std::lock_guard lock(windowLock);
        closeTarget = new QPointer<QWidget>(mainWindow);
        endRun = endRunOnRequest;
        loopEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

ConsoleCloseHandler::~ConsoleCloseHandler() {
    const std::lock_guard lock(windowLock);
    delete closeTarget;
    closeTarget = nullptr;
    if (loopEnded != nullptr) {
        SetEvent(loopEnded);
    }
    // The handler stays registered (a waiting call may still hold the event): it finds no
    // window and returns.
}

void ReleaseOwnConsole() {
    DWORD processes[2] = {};
    if (GetConsoleProcessList(processes, 2) == 1) {
        FreeConsole();
    }
}

}  // namespace tarnel
