#include "report/Reportlst.h"

namespace tarnel {

const ReportEntry reportList[kMessageCount + 1] = {
    {"ErrEICEcom", "EICE communication error", "EICE error", kBoxOk | kBoxIconStop, 1},
    {"ErrUplBoot", "Error uploading bootloader", "EICE error", kBoxOk | kBoxIconStop, 1},
    {"ErrMassErase", "Mass erase error", "Programming error", kBoxOk | kBoxIconStop, 1},
    {"ErrPageProgram", "Page programming error", "Programming error", kBoxOk | kBoxIconStop, 1},
    {"ErrBootFile", "Cannot read bootloader image", "File error", kBoxOk | kBoxIconStop, 2},
    {"ErrFlashFile", "Cannot read flash image", "File error", kBoxOk | kBoxIconStop, 2},
    {"ErrDravin", "Dravin not found!", "Generic error", kBoxOk | kBoxIconStop, 2},
    // A stop from outside: the exit code is the stop's own (ReportStop), 130 as for Ctrl+C
    // when none is known.
    {"ErrInterrupted", "Programming interrupted", "Programming error", kBoxOk | kBoxIconStop, 130},
    {"ErrCommandInterrupted", "Target command interrupted", "EICE error", kBoxOk | kBoxIconStop,
     130},
    {nullptr, nullptr, nullptr, 0, 0},
};

const ReportEntry& MessageEntry(MessageKey key) {
    return reportList[static_cast<std::size_t>(key)];
}

}  // namespace tarnel
