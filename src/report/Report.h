#pragma once
// Reporting a failure by message key: a modal box where one can be seen, otherwise a line
// on standard error; the event log and the exit code either way.

#include <cstdint>
#include <functional>
#include <string_view>
#include <type_traits>

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
// The name that starts each line on standard error ("tarnel" unless a front end of its
// own, such as tarnel-cli, names itself).
void SetReportProgramName(std::string_view name);

// Shows one message box (text, caption, style flags, and the detail of the cause as its
// informative text when there is one) and returns the code of the button that closed it.
// The application installs the real one where a box can be seen; tests install a recorder.
using MessageBoxService = std::function<int(const char* text, const char* caption,
                                            std::int32_t flags, std::string_view detail)>;

// Installs the message-box service (none: no box is shown) and returns the one installed
// before.
MessageBoxService SetMessageBoxService(MessageBoxService service);

// A service that takes no detail is accepted too: its boxes show the text alone.
template <class Service>
requires std::is_invocable_r_v<int, Service&, const char*, const char*, std::int32_t>
    MessageBoxService SetMessageBoxService(Service service) {
    return SetMessageBoxService(
        MessageBoxService([service = std::move(service)](
                              const char* text, const char* caption, std::int32_t flags,
                              std::string_view) mutable { return service(text, caption, flags); }));
}

// Logs the message of `key` with its detail, and sets the exit code to the row's code.
// Shows it in a box unless QuietMode() or no service is installed; when no box is shown,
// writes one line to standard error instead: "tarnel: TEXT: DETAIL" ("tarnel: TEXT"
// without a detail; see SetReportProgramName). Returns the button code, or -1 when nothing was
// shown. `detail` is what is known of the cause (see Failure).
int ReportError(MessageKey key, std::string_view detail = {});
int ReportError(const Failure& failure);
// As ReportError, for a failure caused by a stop from outside: the exit code (also in the
// log's line) is `exitCode` (128 + the signal's number) instead of the row's.
int ReportStop(const Failure& failure, int exitCode);

// A note that is not a failure (the window shows it in its status bar): written to
// standard error as "tarnel: TEXT" when no box would be shown, so that a run without
// boxes still learns it; otherwise nothing. The exit code is left alone.
void ReportNote(std::string_view text);

// The same by the key's name: an unknown name (or null) shows nothing, leaves the exit
// code alone and returns -1.
int ReportError(const char* key);

}  // namespace tarnel
