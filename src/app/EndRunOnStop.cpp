#include "app/EndRunOnStop.h"

#include <QMetaObject>
#include <QPointer>
#include <QWidget>
#include <mutex>

#include "program/StopRequest.h"

namespace tarnel {
namespace {

std::mutex windowLock;
QPointer<QWidget>* closeTarget = nullptr;
// What ends the run on the window's thread; null: closing the window.
void (*endRun)(QWidget*) = nullptr;

// Runs on a thread that is not the window's: only posts the end to the window's thread.
void PostEndOfRun(int /*exitStatus*/) {
    const std::lock_guard lock(windowLock);
    if (closeTarget == nullptr || closeTarget->isNull()) {
        return;  // the tool is already ending
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

}  // namespace

EndRunOnStop::WindowRegistration::WindowRegistration(QWidget* mainWindow,
                                                     void (*endRunOnRequest)(QWidget*)) {
    const std::lock_guard lock(windowLock);
    closeTarget = new QPointer<QWidget>(mainWindow);
    endRun = endRunOnRequest;
}

EndRunOnStop::WindowRegistration::~WindowRegistration() {
    const std::lock_guard lock(windowLock);
    delete closeTarget;
    closeTarget = nullptr;
}

EndRunOnStop::EndRunOnStop(QWidget* mainWindow, void (*endRunOnRequest)(QWidget*))
    : registration_(mainWindow, endRunOnRequest), signals_(&RequestStop, &PostEndOfRun) {}

EndRunOnStop::~EndRunOnStop() = default;

}  // namespace tarnel
