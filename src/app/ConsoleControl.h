#pragma once
// Windows: Ctrl+C, Ctrl+Break and the closing of the console end the tool as SIGINT and
// SIGTERM do on Linux: through the same function, which closes what is open and then the
// main window (its close handler detaches, and the exit code of the run stays).

class QWidget;

namespace tarnel {

// While an object lives, the console's control events call `endRunOnRequest(mainWindow)`
// on the window's own thread (null: close `mainWindow`). The window must outlive the object.
class ConsoleCloseHandler {
public:
    explicit ConsoleCloseHandler(QWidget* mainWindow, void (*endRunOnRequest)(QWidget*) = nullptr);
    ~ConsoleCloseHandler();
    ConsoleCloseHandler(const ConsoleCloseHandler&) = delete;
    ConsoleCloseHandler& operator=(const ConsoleCloseHandler&) = delete;
};

// What the installed handler does with one console event (CTRL_C_EVENT and so on), on the
// calling thread, which is one of the system's: true when the event closes the window.
bool CloseOnConsoleEvent(unsigned long event);

// Lets go of a console window that the system opened only for this process (a start from
// Explorer), so that a person sees the window alone; a console shared with a command
// prompt or a script stays, with its output and control events.
void ReleaseOwnConsole();

}  // namespace tarnel
