#include "program/TargetControl.h"

#include <cstdint>

#include "eice/Eice.h"
#include "platform/AdapterSelection.h"
#include "program/TargetReset.h"
#include "report/Report.h"

namespace tarnel {
namespace {
bool ControlFailed(const char* action) {
    ReportError(msg::ErrEICEcom, action);
    EiceDetach();
    return false;
}
}  // namespace

std::string AdapterNotFoundDetail() {
    std::string detail = AdapterFailureDetail();
    if (const std::string status = EiceAttachFault(); !status.empty()) {
        detail += " (" + status + ")";
    }
    return detail + "; run tarnel-adapters to list the adapters this user may open";
}

bool AttachTarget() {
    if (EiceAttach() != 0) {
        ReportError(msg::ErrDravin, AdapterNotFoundDetail());
        return false;
    }
    if (EiceWrite(CmdSetup, SetupValue) != 0) {
        ReportError(msg::ErrEICEcom, "set-up");
        EiceDetach();
        return false;
    }
    return true;
}

void DetachTarget() {
    EiceDetach();
}

bool RunTarget() {
    if (EiceWrite(CmdSetup, SetupValue) != 0 || EiceExecute(CmdRun) != 0) {
        return ControlFailed("run");
    }
    return true;
}

bool StopTarget() {
    if (EiceWrite(CmdSetup, SetupValue) != 0 || EiceExecute(CmdHalt) != 0) {
        return ControlFailed("stop");
    }
    return true;
}

bool ResetTarget() {
    // A status read that fails leaves the word at 0: the target is then not restarted.
    std::uint32_t status = 0;
    EiceWrite(CmdSetup, SetupValue);
    EiceRead(CmdStatus, status);
    if (!SendResetSequence(true).resetSent) {
        return ControlFailed("reset");
    }
    if ((status & RunningFlag) != 0 && EiceExecute(CmdRun) != 0) {
        return ControlFailed("run after reset");
    }
    return true;
}

}  // namespace tarnel
