#include "report/Report.h"

#include <cstring>

#include "report/EventLog.h"

namespace tarnel {

int exitCode = 0;
int quietMode = 0;

namespace {
MessageBoxService& Service() {
    static MessageBoxService service;
    return service;
}
}  // namespace

MessageBoxService SetMessageBoxService(MessageBoxService service) {
    auto previous = std::move(Service());
    Service() = std::move(service);
    return previous;
}

int ReportError(const char* key) {
    if (key == nullptr) {
        return -1;
    }
    const ReportEntry* row = reportList;
    while (row->key != nullptr && std::strcmp(row->key, key) != 0) {
        ++row;
    }
    if (row->key == nullptr) {
        return -1;
    }
    LogReportedMessage(*row);
    int result = -1;
    if (quietMode == 0 && Service()) {
        result = Service()(row->text, row->caption, row->flags);
    }
    exitCode = row->code;
    return result;
}

}  // namespace tarnel
