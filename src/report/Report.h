#pragma once
// Reporting a failure by message key: a modal box unless quiet, and the exit code.

#include <functional>
#include <string_view>

#include "report/MessageKeys.h"
#include "report/Reportlst.h"

namespace tarnel {

// Process exit status: the code of the last message reported, 0 when none was.
int ExitCode();
// Set by -cc: no box is shown, the exit code is still set.
bool QuietMode();
void SetQuietMode(bool quiet);
// Puts the exit code and the quiet flag back as a process starts.
void ResetReportState();

// Shows one message box (text, caption, style flags) and returns the code of the button
// that closed it. The application installs the real one; tests install a recorder.
using MessageBoxService =
    std::function<int(const char* text, const char* caption, std::int32_t flags)>;

// Installs the message-box service and returns the one installed before.
MessageBoxService SetMessageBoxService(MessageBoxService service);

// Logs the message of `key`, shows it unless QuietMode() and sets the exit code to the
// row's code. Returns the button code, or -1 when nothing was shown. `detail` is what is
// known of the cause (see Failure); it is taken here so that every report carries it, and
// is not yet shown.
int ReportError(MessageKey key, std::string_view detail = {});
int ReportError(const Failure& failure);

// The same by the key's name: an unknown name (or null) shows nothing, leaves the exit
// code alone and returns -1.
int ReportError(const char* key);

}  // namespace tarnel
