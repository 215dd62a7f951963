#include "program/TargetControl.h"

#include <cstdint>
#include <string>

#include "eice/Eice.h"
#include "platform/AdapterSelection.h"
#include "program/StopRequest.h"
#include "program/TargetReset.h"
#include "report/Report.h"

namespace tarnel {
namespace {
bool ControlFailed(const char* action) {
    ReportError(msg::ErrEICEcom, action);
    EiceDetach();
    return false;
}

// A stop request came before the next transfer of `action`: nothing more is sent.
bool ControlStopped(const char* action, bool attached) {
    ReportStop({msg::ErrCommandInterrupted,
                std::string(action) + ": stopped" +
                    (attached ? "; the target was detached" : "; nothing was attached")},
               StopExitStatus());
    if (attached) {
        EiceDetach();
    }
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
    if (StopRequested()) {
        return ControlStopped("attach", false);
    }
    if (EiceAttach() != 0) {
        ReportError(msg::ErrDravin, AdapterNotFoundDetail());
        return false;
    }
    if (StopRequested()) {
        return ControlStopped("attach", true);
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

namespace {
// Set-up, then `command`, with a stop honoured before each.
bool SetUpAndExecute(std::uint32_t command, const char* action) {
    if (StopRequested()) {
        return ControlStopped(action, true);
    }
    const bool setUp = EiceWrite(CmdSetup, SetupValue) == 0;
    if (setUp && StopRequested()) {
        return ControlStopped(action, true);
    }
    if (!setUp || EiceExecute(command) != 0) {
        return ControlFailed(action);
    }
    return true;
}
}  // namespace

bool RunTarget() {
    return SetUpAndExecute(CmdRun, "run");
}

bool StopTarget() {
    return SetUpAndExecute(CmdHalt, "stop");
}

bool ResetTarget() {
    // A status read that fails leaves the word at 0: the target is then not restarted.
    std::uint32_t status = 0;
    if (StopRequested()) {
        return ControlStopped("reset", true);
    }
    EiceWrite(CmdSetup, SetupValue);
    EiceRead(CmdStatus, status);
    if (StopRequested()) {
        return ControlStopped("reset", true);
    }
    if (!SendResetSequence(true).resetSent) {
        return ControlFailed("reset");
    }
    if ((status & RunningFlag) != 0 && StopRequested()) {
        return ControlStopped("run after reset", true);
    }
    if ((status & RunningFlag) != 0 && EiceExecute(CmdRun) != 0) {
        return ControlFailed("run after reset");
    }
    return true;
}

}  // namespace tarnel
