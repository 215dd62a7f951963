#pragma once
// A stop from outside (SIGINT, SIGTERM, SIGHUP; Ctrl+C, Ctrl+Break and the console's close
// on Windows) ends the tool as its close box does, with the device work under way stopped
// first at its next safe point: the request then reports what the flash holds, detaches,
// and the process ends with the stop's exit code.

#include "platform/StopSignals.h"

class QWidget;

namespace tarnel {

// While an object lives, a stop requests the device work's stop (RequestStop) at once and
// then calls `endRunOnRequest(mainWindow)` on the window's own thread (null: close
// `mainWindow`). The window must outlive the object. One object at a time.
class EndRunOnStop {
public:
    explicit EndRunOnStop(QWidget* mainWindow, void (*endRunOnRequest)(QWidget*) = nullptr);
    ~EndRunOnStop();
    EndRunOnStop(const EndRunOnStop&) = delete;
    EndRunOnStop& operator=(const EndRunOnStop&) = delete;

private:
    // Made before the signals and gone after them, so that a stop always finds the window.
    struct WindowRegistration {
        WindowRegistration(QWidget* mainWindow, void (*endRunOnRequest)(QWidget*));
        ~WindowRegistration();
        WindowRegistration(const WindowRegistration&) = delete;
        WindowRegistration& operator=(const WindowRegistration&) = delete;
    };
    WindowRegistration registration_;
    StopSignals signals_;
};

}  // namespace tarnel
