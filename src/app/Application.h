#pragma once
// The entry function shared by both executables, and the application-wide services that
// the window uses: the terminate request and the headless fallback.

#include "app/CommandLine.h"

class QWidget;

namespace tarnel {

// Exit status when no display could be opened for the window (the run ends before the
// window is created, with one line on standard error).
inline constexpr int kNoDisplayStatus = 3;

// Runs the tool: reads the original arguments, creates both windows, runs the event loop
// and returns the exit code. The command line is parsed here, once (on Windows from the
// system's wide command line, so that any file name survives); -cc sets the quiet flag
// here. The caller installs the driver backend first.
int TarnelMain(int argc, char** argv);

// Names the application as the desktop knows it: the desktop file name is that of the
// installed entry (without ".desktop"), and the application name becomes the window class,
// which the entry's StartupWMClass names. Docks match the window to the entry by them.
void SetDesktopIdentity();

// Asks the application to end its event loop without closing the windows, so no close
// handler runs; also honoured when the loop has not yet started.
void RequestTerminate();
bool TerminateRequested();

// Ends the run as a stop from outside asks: no further message box (a failure reported
// later is a line on standard error), open menus, boxes and dialogs closed, then the main
// window closed through its close box (after a running Program request has ended).
void EndRunOnRequest(QWidget* mainWindow);

// True when the tool chose Qt's offscreen platform itself because no display could be
// reached for an unattended run (-p with -c or -cc).
bool ChoseOffscreenPlatform();

// Whether the tool must choose the offscreen platform for these options in this
// environment: -p together with -c or -cc, no platform chosen by the caller, and no
// display reachable.
bool ShouldChooseOffscreen(const CommandLineOptions& options);

}  // namespace tarnel
