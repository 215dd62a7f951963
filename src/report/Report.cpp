#include "report/Report.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "report/EventLog.h"

namespace tarnel {

namespace {
struct ReportState {
    int exitCode = 0;
    bool quiet = false;
    std::string programName = "tarnel";
    MessageBoxService service;
};

ReportState& State() {
    static ReportState state;
    return state;
}

bool BoxesShown() {
    return !State().quiet && State().service;
}

// One line on standard error, "tarnel: TEXT: DETAIL", written at once; control characters
// in either part (a line feed in a file name) become "?" so the line stays one line.
void WriteErrorLine(std::string_view text, std::string_view detail) {
    std::string line = State().programName + ": ";
    const auto append = [&line](std::string_view part) {
        for (const char c : part) {
            const auto byte = static_cast<unsigned char>(c);
            line += byte < 0x20 || byte == 0x7F ? '?' : c;
        }
    };
    append(text);
    if (!detail.empty()) {
        line += ": ";
        append(detail);
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}
}  // namespace

int ExitCode() {
    return State().exitCode;
}

bool QuietMode() {
    return State().quiet;
}

void SetReportProgramName(std::string_view name) {
    State().programName = name;
}

void SetQuietMode(bool quiet) {
    State().quiet = quiet;
}

void ResetReportState() {
    State().exitCode = 0;
    State().quiet = false;
}

MessageBoxService SetMessageBoxService(MessageBoxService service) {
    auto previous = std::move(State().service);
    State().service = std::move(service);
    return previous;
}

namespace {
int Report(const ReportEntry& row, std::string_view detail) {
    LogReportedMessage(row, detail);
    int result = -1;
    if (BoxesShown()) {
        result = State().service(row.text, row.caption, row.flags, detail);
    } else {
        WriteErrorLine(row.text, detail);
    }
    State().exitCode = row.code;
    return result;
}
}  // namespace

int ReportError(MessageKey key, std::string_view detail) {
    return Report(MessageEntry(key), detail);
}

int ReportStop(const Failure& failure, int exitCode) {
    ReportEntry row = MessageEntry(failure.key);
    row.code = exitCode;
    return Report(row, failure.detail);
}

void ReportNote(std::string_view text) {
    if (!BoxesShown()) {
        WriteErrorLine(text, {});
    }
}

int ReportError(const Failure& failure) {
    return ReportError(failure.key, failure.detail);
}

int ReportError(const char* key) {
    if (key == nullptr) {
        return -1;
    }
    for (std::size_t i = 0; i < kMessageCount; ++i) {
        if (std::strcmp(reportList[i].key, key) == 0) {
            return ReportError(static_cast<MessageKey>(i));
        }
    }
    return -1;
}

}  // namespace tarnel
