// The yardstick of bench/startup: a bare Qt Widgets program that shows a main window with a
// menu bar, a button and a status bar, and ends as soon as the window has been exposed and
// painted. Its wall time is what any window of this toolkit costs on this machine.

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QWindow>

namespace {

// Ends the event loop once the watched window is exposed; queued, so the paint that the
// expose triggers happens first.
class QuitWhenExposed : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.menuBar()->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("Exit"));
    window.setCentralWidget(new QPushButton(QStringLiteral("Button")));
    window.statusBar()->showMessage(QStringLiteral("Ready"));
    window.resize(340, 220);
    window.winId();  // creates the platform window, so it can be watched before it shows
    QuitWhenExposed quitter;
    window.windowHandle()->installEventFilter(&quitter);
    window.show();
    return QApplication::exec();
}
