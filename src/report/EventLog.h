#pragma once
// The event log a script can read: when TARNEL_LOG names a file ("-" for standard error),
// every event appends one line to it; when it is unset or empty, nothing is written.
//
// A line is a UTC time stamp (ISO 8601, milliseconds), the process ID, the event's name
// and its fields as key=value, strings in double quotes with \" \\ and \xHH escapes:
//   2026-12-08T09:14:03.512Z pid=4242 start image="board.rom" pages=3 beyond=0 malformed=0
//     crc32=5D2A01F3
//   2026-12-08T09:14:03.907Z pid=4242 message key=ErrPageProgram text="Page programming error"
//     caption="Programming error" exit=1 detail="page 2"
//   2026-12-08T09:14:03.909Z pid=4242 end outcome=failure seconds=0.397 exit=1
//   2026-12-08T09:14:04.102Z pid=4243 end outcome=interrupted seconds=0.211 exit=143
//     flash=pages:0..41
// (the message line is one line). Fields are only ever added at the end of a line.
// Each line is written with a single append, and kept short enough for a pipe to take it
// whole (a long name is shortened in the middle), so processes may share one log, a pipe
// included. The log file is opened afresh for each line: never through a symbolic link,
// never anything but a regular file, and never waiting for a reader.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "report/Reportlst.h"

namespace tarnel {

// Names the log for this process in place of TARNEL_LOG (same values: a file, "-" for
// standard error, empty for none).
void SetEventLogPath(std::string path);

// What the start line tells of the image about to be programmed; all unknown (written as
// "-") when the image was refused.
struct ProgramStartFields {
    std::int64_t pages = -1;             // non-blank pages
    std::int64_t wordsBeyond = -1;       // words beyond the flash, not programmed
    std::int64_t malformed = -1;         // malformed records passed over (lenient reading)
    std::optional<std::uint32_t> crc32;  // of the whole flash content it gives
};

// The start of a Program request: the image's path and what is known of it.
void LogProgramStart(std::string_view image, const ProgramStartFields& fields);

// A message reported through ReportError, with the detail of its cause (may be empty).
void LogReportedMessage(const ReportEntry& entry, std::string_view detail);

enum class RequestOutcome { Succeeded, Failed, Interrupted };

// The end of a Program request: how it ended (outcome=success, failure or interrupted),
// its seconds, and the exit code the process would end with; after an interruption also
// what the flash holds, a word without blanks or quotes (flash=unchanged, erasing, erased,
// pages:0..K).
void LogProgramEnd(RequestOutcome outcome, double seconds, int exitCode,
                   std::string_view flashState = {});

// The text of one log line for `event` and `fields`, time stamp and process ID included,
// with its line end. Exposed for the tests.
std::string FormatLogLine(std::string_view event, std::string_view fields);

// `time` in UTC as the log's lines begin: ISO 8601 with milliseconds,
// "2026-12-08T09:14:03.512Z".
std::string UtcTimeStamp(std::chrono::system_clock::time_point time);

// `text` in double quotes, with ", \ escaped, and bytes below 0x20, 0x7F and bytes that are
// not part of valid UTF-8 as \xHH. Longer than about a third of a line, it keeps its start
// and its end with "..." between them.
std::string QuoteLogText(std::string_view text);

// Whether the log that TARNEL_LOG names can be written: empty when it can, when no log is
// asked for and for standard error; else "PATH: reason". Front ends end the run when it
// cannot, before any adapter is opened. A log that fails later is said once on standard
// error ("The event log is incomplete: PATH: reason") and the run goes on.
std::string CheckEventLog();

// Forgets that a failed log write was said, as a process starts.
void ResetEventLogState();

}  // namespace tarnel
