// The Program action: the window's side of the Program request. The request itself is in
// program/; this file names its files, shows its stages, progress and outcome, and takes
// the close step.

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>

#include "app/Action.h"
#include "app/Application.h"
#include "app/Mainform.h"
#include "app/NativePath.h"
#include "program/ProgramRequest.h"
#include "program/ProgressText.h"

namespace tarnel {
namespace {

// Shows the sequence's stages in the status bar and its progress on the bar. The bar is
// given a new position only when what it shows (its percentage) changes, and always at
// the end of a stage: an upload makes thousands of steps.
class WindowProgress final : public ProgramObserver {
public:
    WindowProgress(TFmainform& window, QProgressBar* bar) : window_(window), bar_(bar) {}

    void StageBegins(ProgramStage stage) override {
        window_.setStatusText(QString::fromUtf8(StageStatusText(stage)));
        // The erase is not painted: it follows at once and takes no input.
        if (stage != ProgramStage::Erasing) {
            QApplication::processEvents();
        }
    }

    void ProgressRange(int maximum) override {
        bar_->setMaximum(maximum);
        steps_.Restart(maximum);
    }

    // The bar tells how the request ended: a stage's text or an earlier "Done" must not
    // stand after a failure.
    void Failed(const Failure& failure) override {
        window_.setStatusText(QString::fromStdString(FailureStatusText(failure)));
    }

    void Programmed(double seconds) override {
        window_.setStatusText(QString::fromStdString(DoneText(seconds)));
    }

    void ProgressAt(int position) override {
        if (steps_.Moves(position)) {
            bar_->setValue(position);
        }
    }

private:
    TFmainform& window_;
    QProgressBar* bar_;
    PercentSteps steps_;
};

}  // namespace

void TFmainform::CloseStep() {
    if (closeAfterProgram_ != 0) {
        RequestTerminate();
    }
}

void TFmainform::ACprogramExecute(QObject*) {
    // One request at a time: while it pumps messages, device actions are held off.
    EnterBusy();
    Progress->setValue(0);
    WindowProgress progress(*this, Progress);
    ProgramRequest request;  // the bootloader from the places every front end searches
    request.imagePath = PathFromQString(Efilename->text());
    request.attachedByUser = ACattach->isChecked();
    const ProgramOutcome outcome = RunProgramRequest(request, progress);
    if (outcome.succeeded && outcome.wordsBeyond > 0) {
        setStatusText(statusText() + QLatin1Char(' ') +
                      QString::fromStdString(BeyondFlashText(outcome.wordsBeyond)));
    }
    if (outcome.detachedUser) {
        ShowAttached(false);
    }
    LeaveBusy();

    if (outcome.closeStep) {
        CloseStep();
    } else if (closeAfterProgram_ != 0 && ChoseOffscreenPlatform()) {
        // Nobody can see or close a window on the offscreen platform: end the run with
        // the exit code instead of leaving an invisible process behind.
        RequestTerminate();
    }
    ClosePendingWindow();
}

}  // namespace tarnel
