#include "report/Report.h"

#include <cstring>

#include "report/EventLog.h"

namespace tarnel {

namespace {
struct ReportState {
    int exitCode = 0;
    bool quiet = false;
    MessageBoxService service;
};

ReportState& State() {
    static ReportState state;
    return state;
}
}  // namespace

int ExitCode() {
    return State().exitCode;
}

bool QuietMode() {
    return State().quiet;
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

int ReportError(MessageKey key, std::string_view /*detail*/) {
    const ReportEntry& row = MessageEntry(key);
    LogReportedMessage(row);
    int result = -1;
    if (!State().quiet && State().service) {
        result = State().service(row.text, row.caption, row.flags);
    }
    State().exitCode = row.code;
    return result;
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
