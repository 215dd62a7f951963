#include "app/Application.h"

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "app/About.h"
#include "app/CommandLine.h"
#include "app/EndRunOnStop.h"
#include "app/HelpText.h"
#include "app/Mainform.h"
#include "app/MessageBoxes.h"
#include "app/NativePath.h"
#include "platform/AdapterSelection.h"
#include "platform/Arguments.h"
#include "platform/ExecutablePath.h"
#include "platform/OwnConsole.h"
#include "platform/StopSignals.h"
#include "report/EventLog.h"
#include "report/Report.h"

namespace tarnel {
namespace {

bool terminateRequested = false;
bool choseOffscreen = false;

// Qt's platforms that show nothing to anyone: a modal box there would wait for ever.
bool BoxesCanBeSeen() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void ShowExceptionBox(const std::exception& error) {
    if (QuietMode() || !BoxesCanBeSeen()) {
        std::fprintf(stderr, "tarnel: %s\n", error.what());
        std::fflush(stderr);
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Tarnel"),
                          QString::fromLocal8Bit(error.what()));
}

// Shows an exception that escapes an event handler and lets the loop go on.
class TarnelApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            ShowExceptionBox(error);
            return false;
        }
    }
};

// A request from outside the window to end the run (a stop signal or console event,
// EndRunOnStop) ends it whatever is open: no further box is shown
// (reports go to standard error), open menus, boxes and dialogs (the About window, the file
// dialog) are closed, and the main window is closed as its close box does, so a script
// that stops the tool still gets the detach and the exit code of the run. A Program
// request that is running has already been asked to stop (RequestStop) and ends first, at
// its next safe point, with the stop's exit code (its close is carried out when it
// returns); once the main window is hidden, every event loop ends.
class EndWhenHidden : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide) {
            QCoreApplication::exit(0);
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void EndRunOnRequest(QWidget* mainWindow) {
    SetMessageBoxService(nullptr);
    // Each close ends the dialog's own event loop once control returns to it; bounded, as
    // a popup could refuse to close.
    for (int i = 0; i < 16 && QApplication::activePopupWidget() != nullptr; ++i) {
        QApplication::activePopupWidget()->close();
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget == mainWindow || !widget->isVisible()) {
            continue;
        }
        if (auto* dialog = qobject_cast<QDialog*>(widget)) {
            dialog->reject();
        } else {
            widget->close();
        }
    }
    static bool watching = false;
    if (!watching) {
        watching = true;
        mainWindow->installEventFilter(new EndWhenHidden(mainWindow));
    }
    mainWindow->close();
    if (!mainWindow->isVisible()) {
        QCoreApplication::exit(0);
    }
}

namespace {

bool EnvSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

#ifndef _WIN32
// True when an X server answers on the local socket of `display` (":N" or ":N.S").
// Displays on other hosts are taken as reachable: only the connection can tell.
bool XDisplayReachable(const std::string& display) {
    if (display.empty() || display[0] != ':') {
        return !display.empty();
    }
    const std::string number = display.substr(1, display.find('.') - 1);
    const std::string path = "/tmp/.X11-unix/X" + number;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        ::close(fd);
        return false;
    }
    path.copy(address.sun_path, path.size());
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

bool DisplayReachable() {
    if (EnvSet("WAYLAND_DISPLAY")) {
        return true;
    }
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && XDisplayReachable(display);
}
#endif

// While the application object starts, Qt ends the process with a fatal message when no
// platform can be opened (no display). Until it has started, Qt's messages are held back:
// on that fatal message the tool prints its own one line and exits with kNoDisplayStatus;
// otherwise they are passed on once the start has succeeded.
struct HeldMessage {
    QtMsgType type;
    std::string category;
    QString text;
};
std::vector<HeldMessage>* heldMessages = nullptr;
const char* programName = "tarnel";

void HoldStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr,
                     "%s: no display could be opened; to program without one, run unattended "
                     "with -p and -c or -cc\n",
                     programName);
        std::fflush(stderr);
        std::_Exit(kNoDisplayStatus);
    }
    heldMessages->push_back({type, context.category ? context.category : "", text});
}

// Creates the application object with Qt's messages held back as above.
class StartGuard {
public:
    explicit StartGuard(const char* argv0) {
        programName = ProgramBaseName(argv0, programName);
        heldMessages = &held_;
        previous_ = qInstallMessageHandler(HoldStartMessage);
    }
    ~StartGuard() {
        qInstallMessageHandler(previous_);
        heldMessages = nullptr;
        for (const HeldMessage& message : held_) {
            const QMessageLogContext context(nullptr, 0, nullptr, message.category.c_str());
            if (previous_ != nullptr) {
                previous_(message.type, context, message.text);
            } else {
                qt_message_output(message.type, context, message.text);
            }
        }
    }
    StartGuard(const StartGuard&) = delete;
    StartGuard& operator=(const StartGuard&) = delete;

private:
    std::vector<HeldMessage> held_;
    QtMessageHandler previous_ = nullptr;
};

}  // namespace

void SetDesktopIdentity() {
    QGuiApplication::setDesktopFileName(QStringLiteral("example.tarnel.Tarnel"));
    // Fixed, not taken from argv[0]: the window class then stays the same however the
    // program was started.
    QCoreApplication::setApplicationName(QStringLiteral("tarnel"));
}

void RequestTerminate() {
    terminateRequested = true;
    // Ends the event loops without closing the windows: quit() would close the main window
    // and so run its close handler, which detaches an attachment the user made by hand.
    QCoreApplication::exit(0);
}

bool TerminateRequested() {
    return terminateRequested;
}

bool ChoseOffscreenPlatform() {
    return choseOffscreen;
}

bool ShouldChooseOffscreen(const CommandLineOptions& options) {
    if (!options.programAtStart || !options.closeAfterProgram) {
        return false;
    }
    if (EnvSet("QT_QPA_PLATFORM")) {
        return false;  // the caller chose the platform
    }
#ifdef _WIN32
    return false;  // a Windows session always has a display
#else
    return !DisplayReachable();
#endif
}

int TarnelMain(int argc, char** argv) {
    // Qt may write to standard error as it starts; a closed pipe there must not end the run.
    IgnoreBrokenPipes();
    if (const auto status = AnswerHelpOrVersion(argc, argv)) {
        return *status;
    }
    // A run that asked for an event log and cannot write one ends here, before any adapter
    // is opened: a production record must not be silently missing.
    if (const std::string why = CheckEventLog(); !why.empty()) {
        WriteStandardErrorLine("Cannot open the event log", why);
        return 2;
    }
    // The tool's arguments: everything after the program name.
    const CommandLineOptions options = ParseCommandLine(ProgramArguments(argc, argv));
    SetQuietMode(options.quiet);
    if (options.adapter) {
        ChooseAdapter(*options.adapter);
    }
    if (ShouldChooseOffscreen(options)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        choseOffscreen = true;
    }

    // Qt sees the program name only: every argument of the user's is the tool's, so none of
    // Qt's own options (-platform, -style, -reverse, ...) can change the run.
    static char fallbackName[] = "tarnel";
    int qtArgc = 1;
    char* qtArgv[] = {argc > 0 ? argv[0] : fallbackName, nullptr};
    std::unique_ptr<TarnelApplication> application;
    {
        const StartGuard guard(qtArgv[0]);
        application = std::make_unique<TarnelApplication>(qtArgc, qtArgv);
    }
    SetDesktopIdentity();
    // Where no box can be seen, none is shown: each report becomes a line on standard error.
    const auto previousService =
        SetMessageBoxService(BoxesCanBeSeen() ? MessageBoxService(&ShowMessageBox) : nullptr);
    try {
        auto mainform = std::make_unique<TFmainform>(nullptr, options);
        auto about = std::make_unique<TFabout>(mainform.get(), PathToQString(ExecutablePath()));
        mainform->setAboutWindow(about.get());
        ReleaseOwnConsole();
        const EndRunOnStop endOnStop(mainform.get(), &EndRunOnRequest);
        mainform->show();
        if (!TerminateRequested()) {
            QApplication::exec();
        }
    } catch (const std::exception& error) {
        ShowExceptionBox(error);
    }
    SetMessageBoxService(previousService);
    return ExitCode();
}

}  // namespace tarnel
