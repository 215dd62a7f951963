// The attach toggle and target run control: the user's own connection to the target.

#include "app/Action.h"
#include "app/Mainform.h"
#include "eice/Eice.h"
#include "link/Attach.h"
#include "program/TargetReset.h"
#include "report/MessageKeys.h"
#include "report/Report.h"

#include <QToolButton>

namespace tarnel {

void TFmainform::ACattachExecute(QObject*) {
    if (ACattach->isChecked()) {
        DetachAdapter();  // the window shows Detached whatever the detach returned
        ACattach->setChecked(false);
        ACrun->setEnabled(false);
        ACstop->setEnabled(false);
        ACreset->setEnabled(false);
    } else if (AttachAdapter() != 0) {
        ReportError(msg::ErrDravin);
    } else if (EiceWrite(CmdSetup, SetupValue) != 0) {
        ReportError(msg::ErrEICEcom);
        DetachAdapter();
    } else {
        ACattach->setChecked(true);
        ACrun->setEnabled(true);
        ACstop->setEnabled(true);
        ACreset->setEnabled(true);
    }
    SyncAttachButton();
}

void TFmainform::RunControlFailed() {
    ReportError(msg::ErrEICEcom);
    ACattach->execute(this);
}

void TFmainform::ACrunExecute(QObject*) {
    if (EiceWrite(CmdSetup, SetupValue) != 0 || EiceExecute(CmdRun) != 0) {
        RunControlFailed();
    }
}

void TFmainform::ACstopExecute(QObject*) {
    if (EiceWrite(CmdSetup, SetupValue) != 0 || EiceExecute(CmdHalt) != 0) {
        RunControlFailed();
    }
}

void TFmainform::ACresetExecute(QObject*) {
    // A status read that fails leaves the word at 0: the target is then not restarted.
    std::uint32_t status = 0;
    // The results of these steps are not examined: a failed link shows at the reset step.
    EiceWrite(CmdSetup, SetupValue);
    EiceRead(CmdStatus, status);
    if (SendResetSequence(true) != 0) {
        RunControlFailed();
        return;
    }
    if ((status & RunningFlag) != 0 && EiceExecute(CmdRun) != 0) {
        RunControlFailed();
    }
}

}  // namespace tarnel
