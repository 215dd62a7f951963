#pragma once
// The main window's widgets and actions, found by their object names as a person or an
// accessibility tool finds them: the window keeps them private.

#include <QAction>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <stdexcept>
#include <string>

#include "app/Action.h"

namespace tarnel {

// The window's child of type T named `name`; throws when there is none, so that a
// renamed part fails the test instead of crashing it.
template <class T>
T* Part(const QObject& window, const char* name) {
    T* part = window.findChild<T*>(QString::fromLatin1(name));
    if (part == nullptr) {
        throw std::logic_error(std::string("the window has no part named ") + name);
    }
    return part;
}

inline QProgressBar* Progress(const QObject& window) {
    return Part<QProgressBar>(window, "Progress");
}
inline QPushButton* Bbrowse(const QObject& window) {
    return Part<QPushButton>(window, "Bbrowse");
}
inline QLineEdit* Efilename(const QObject& window) {
    return Part<QLineEdit>(window, "Efilename");
}
inline QPushButton* Bprogram(const QObject& window) {
    return Part<QPushButton>(window, "Bprogram");
}
inline QStatusBar* StatusBar(const QObject& window) {
    return Part<QStatusBar>(window, "StatusBar");
}
inline QMenuBar* MainMenu(const QObject& window) {
    return Part<QMenuBar>(window, "MainMenu");
}
inline QMenu* MIfile(const QObject& window) {
    return Part<QMenu>(window, "MIfile");
}
inline QAction* MIfileopen(const QObject& window) {
    return Part<QAction>(window, "MIfileopen");
}
inline QMenu* MIdevice(const QObject& window) {
    return Part<QMenu>(window, "MIdevice");
}
inline QAction* MIdevattach(const QObject& window) {
    return Part<QAction>(window, "MIdevattach");
}
inline QAction* MIdevprogram(const QObject& window) {
    return Part<QAction>(window, "MIdevprogram");
}
inline QObject* ALmain(const QObject& window) {
    return Part<QObject>(window, "ALmain");
}
inline Action* ACfileopen(const QObject& window) {
    return Part<Action>(window, "ACfileopen");
}
inline Action* ACexit(const QObject& window) {
    return Part<Action>(window, "ACexit");
}
inline QAction* MIexit(const QObject& window) {
    return Part<QAction>(window, "MIexit");
}
inline QObject* ALdebug(const QObject& window) {
    return Part<QObject>(window, "ALdebug");
}
inline Action* ACrun(const QObject& window) {
    return Part<Action>(window, "ACrun");
}
inline Action* ACstop(const QObject& window) {
    return Part<Action>(window, "ACstop");
}
inline Action* ACreset(const QObject& window) {
    return Part<Action>(window, "ACreset");
}
inline QMenu* MIdebug(const QObject& window) {
    return Part<QMenu>(window, "MIdebug");
}
inline QAction* MIrun(const QObject& window) {
    return Part<QAction>(window, "MIrun");
}
inline QAction* MIstop(const QObject& window) {
    return Part<QAction>(window, "MIstop");
}
inline QAction* MIreset(const QObject& window) {
    return Part<QAction>(window, "MIreset");
}
inline QMenu* MIhelp(const QObject& window) {
    return Part<QMenu>(window, "MIhelp");
}
inline QAction* MIabout(const QObject& window) {
    return Part<QAction>(window, "MIabout");
}
inline QFrame* Bevel(const QObject& window) {
    return Part<QFrame>(window, "Bevel");
}
inline QToolButton* SBattach(const QObject& window) {
    return Part<QToolButton>(window, "SBattach");
}
inline QPushButton* Breset(const QObject& window) {
    return Part<QPushButton>(window, "Breset");
}
inline QPushButton* Bstop(const QObject& window) {
    return Part<QPushButton>(window, "Bstop");
}
inline QPushButton* Brun(const QObject& window) {
    return Part<QPushButton>(window, "Brun");
}
inline Action* ACattach(const QObject& window) {
    return Part<Action>(window, "ACattach");
}
inline Action* ACprogram(const QObject& window) {
    return Part<Action>(window, "ACprogram");
}
inline Action* ACabout(const QObject& window) {
    return Part<Action>(window, "ACabout");
}

}  // namespace tarnel
