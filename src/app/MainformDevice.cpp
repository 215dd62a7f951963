// The attach toggle and target run control: the user's own connection to the target. The
// device work and its reports are program/'s; the window shows the attached state.

#include "app/Action.h"
#include "app/Mainform.h"
#include "program/TargetControl.h"

#include <QToolButton>

namespace tarnel {

void TFmainform::ShowAttached(bool attached) {
    ACattach->setChecked(attached);
    ACrun->setEnabled(attached);
    ACstop->setEnabled(attached);
    ACreset->setEnabled(attached);
    SyncAttachButton();
}

void TFmainform::ACattachExecute(QObject*) {
    if (ACattach->isChecked()) {
        DetachTarget();  // the window shows Detached whatever the detach returned
        ShowAttached(false);
    } else {
        EnterBusy();
        ACattach->setChecked(AttachTarget());
        LeaveBusy();
        ClosePendingWindow();
    }
}

void TFmainform::ACrunExecute(QObject*) {
    if (!RunTarget()) {
        ShowAttached(false);
    }
}

void TFmainform::ACstopExecute(QObject*) {
    if (!StopTarget()) {
        ShowAttached(false);
    }
}

void TFmainform::ACresetExecute(QObject*) {
    if (!ResetTarget()) {
        ShowAttached(false);
    }
}

}  // namespace tarnel
