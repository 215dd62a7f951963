#pragma once
// Reporting a failure by message key: a modal box unless quiet, and the exit code.

#include <functional>

#include "report/Reportlst.h"

namespace tarnel {

// Process exit status: the code of the last message reported, 0 when none was.
extern int exitCode;
// Set by -cc: no box is shown, exitCode is still set.
extern int quietMode;

// Shows one message box (text, caption, style flags) and returns the code of the button
// that closed it. The application installs the real one; tests install a recorder.
using MessageBoxService =
    std::function<int(const char* text, const char* caption, std::int32_t flags)>;

// Installs the message-box service and returns the one installed before.
MessageBoxService SetMessageBoxService(MessageBoxService service);

// Looks `key` up in reportList. An unknown key (or null) shows nothing, leaves exitCode
// alone and returns -1. Otherwise shows the message unless quietMode is set, sets
// exitCode to the row's code and returns the button code, or -1 when nothing was shown.
int ReportError(const char* key);

}  // namespace tarnel
