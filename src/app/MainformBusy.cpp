// The window while a Program request or an attach runs: what it disables, and how it
// comes back.

#include <QApplication>
#include <QLineEdit>
#include <QToolButton>

#include "app/Action.h"
#include "app/Application.h"
#include "app/Mainform.h"

namespace tarnel {

void TFmainform::EnterBusy() {
    busy_ = true;
    focusBeforeBusy_ = focusWidget();
    for (Action* action : {ACprogram, ACattach, ACrun, ACstop, ACreset, ACfileopen, ACabout}) {
        action->setEnabled(false);
    }
    Efilename->setEnabled(false);
    SBattach->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TFmainform::LeaveBusy() {
    // Clicks and keys given during the work are still queued: served now, they meet
    // disabled controls and are dropped, instead of starting a second request.
    QApplication::processEvents();
    for (Action* action : {ACprogram, ACattach, ACfileopen, ACabout}) {
        action->setEnabled(true);
    }
    Efilename->setEnabled(true);
    SBattach->setEnabled(true);
    ShowAttached(ACattach->isChecked());
    QApplication::restoreOverrideCursor();
    if (focusBeforeBusy_ != nullptr && focusBeforeBusy_->isEnabled()) {
        focusBeforeBusy_->setFocus();
    }
    busy_ = false;
}

void TFmainform::ClosePendingWindow() {
    if (closePending_ && !TerminateRequested()) {
        closePending_ = false;
        close();
    }
}

}  // namespace tarnel
