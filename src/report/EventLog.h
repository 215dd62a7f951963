#pragma once
// The event log a script can read: when TARNEL_LOG names a file ("-" for standard error),
// every event appends one line to it; when it is unset or empty, nothing is written.
//
// A line is a UTC time stamp (ISO 8601, milliseconds), the process ID, the event's name
// and its fields as key=value, strings in double quotes with \" \\ and \xHH escapes:
//   2026-12-08T09:14:03.512Z pid=4242 start image="board.rom" pages=3 beyond=0
//   2026-12-08T09:14:03.907Z pid=4242 message key=ErrPageProgram text="Page programming error"
//     caption="Programming error" exit=1 detail="page 2"
//   2026-12-08T09:14:03.909Z pid=4242 end outcome=failure seconds=0.397 exit=1
//   2026-12-08T09:14:04.102Z pid=4243 end outcome=interrupted seconds=0.211 exit=143
//     flash=pages:0..41
// (the message line is one line). Fields are only ever added at the end of a line.
// Each line is written with a single append, so processes may share one log.

#include <chrono>
#include <string>
#include <string_view>

#include "report/Reportlst.h"

namespace tarnel {

// Names the log for this process in place of TARNEL_LOG (same values: a file, "-" for
// standard error, empty for none).
void SetEventLogPath(std::string path);

// The start of a Program request: the image's path, the number of its non-blank pages and
// of its words beyond the flash (not programmed), each -1 when the image could not be read
// (written as pages=- beyond=-).
void LogProgramStart(std::string_view image, int pages, int wordsBeyond);

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

// `text` in double quotes, with ", \ and bytes below 0x20 or of 0x7F escaped.
std::string QuoteLogText(std::string_view text);

}  // namespace tarnel
