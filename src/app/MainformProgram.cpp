// The Program action: the window's side of bootloader upload, flash programming and the
// restart. The sequence itself is in program/; this file shows its stages and progress.

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <vector>

#include "app/Action.h"
#include "app/Application.h"
#include "app/Mainform.h"
#include "link/Attach.h"
#include "platform/Clock.h"
#include "platform/ExecutablePath.h"
#include "program/ProgramSequence.h"
#include "report/EventLog.h"
#include "report/MessageKeys.h"
#include "report/Report.h"
#include "scan/ImageReader.h"

namespace tarnel {
namespace {

// Shows the sequence's stages in the status bar and its progress on the bar. The bar is
// given a new position only when what it shows (its percentage) changes, and always at
// the end of a stage: an upload makes thousands of steps.
class WindowProgress final : public ProgramObserver {
public:
    explicit WindowProgress(TFmainform& window) : window_(window) {}

    void StageBegins(ProgramStage stage) override {
        switch (stage) {
            case ProgramStage::PreparingBootloader:
                window_.setStatusText(QStringLiteral("Preparing bootloader..."));
                QApplication::processEvents();
                break;
            case ProgramStage::Erasing:
                // Not painted: the erase follows at once and takes no input.
                window_.setStatusText(QStringLiteral("Erasing device..."));
                break;
            case ProgramStage::Flashing:
                window_.setStatusText(QStringLiteral("Flashing..."));
                QApplication::processEvents();
                break;
        }
    }

    void ProgressRange(int maximum) override {
        window_.Progress->setMaximum(maximum);
        maximum_ = maximum;
        shownPercent_ = -1;
    }

    void ProgressAt(int position) override {
        const int percent =
            maximum_ > 0 ? static_cast<int>(std::int64_t{position} * 100 / maximum_) : 100;
        if (percent != shownPercent_ || position == maximum_) {
            window_.Progress->setValue(position);
            shownPercent_ = percent;
        }
    }

private:
    TFmainform& window_;
    int maximum_ = 0;
    int shownPercent_ = -1;
};

// Reports `failure` when there is one; true when there was none.
bool Succeeded(StepFailure failure) {
    if (failure != nullptr) {
        ReportError(failure);
        return false;
    }
    return true;
}

}  // namespace

bool TFmainform::BootloaderPrepare(std::span<const std::uint16_t> image) {
    WindowProgress progress(*this);
    return Succeeded(tarnel::PrepareBootloader(image, progress));
}

bool TFmainform::FlashDevice(FlashImage image) {
    WindowProgress progress(*this);
    return Succeeded(ProgramFlash(image, progress));
}

void TFmainform::DetachAfterFailedProgram() {
    // The request ends here: its own detach must not be held off like a user's command.
    programBusy_ = false;
    if (ACattach->isChecked()) {
        ACattach->execute(this);
    } else {
        DetachAdapter();
    }
}

void TFmainform::CloseStep() {
    if (closeAfterProgram_ != 0) {
        RequestTerminate();
    }
}

void TFmainform::ACprogramExecute(QObject*) {
    // One request at a time: while it pumps messages, device actions are held off.
    programBusy_ = true;
    const auto start = ClockNow();
    const ProgramOutcome outcome = RunProgramRequest();
    const std::chrono::duration<double> elapsed = ClockNow() - start;
    programBusy_ = false;
    LogProgramEnd(outcome.succeeded, elapsed.count(), exitCode);

    if (outcome.closeStep) {
        CloseStep();
    } else if (closeAfterProgram_ != 0 && ChoseOffscreenPlatform()) {
        // Nobody can see or close a window on the offscreen platform: end the run with
        // the exit code instead of leaving an invisible process behind.
        RequestTerminate();
    }
    if (closePending_ && !TerminateRequested()) {
        closePending_ = false;
        close();
    }
}

TFmainform::ProgramOutcome TFmainform::RunProgramRequest() {
    Progress->setValue(0);

    // Both files are read before anything is reported, so that the log's start line can
    // name the pages; their failures are reported in the same order as ever.
    std::vector<std::uint16_t> bootloader(kBootloaderWords, 0x0000);
    const std::string bootPath = DirectoryOf(ExecutablePath()) + "flash.ram";
    const int bootHighest = ReadWordImage(bootPath, bootloader.data(), kBootloaderWords);
    std::vector<std::uint16_t> flash(kFlashWords, 0xFFFF);
    const std::string flashPath = Efilename->text().toLocal8Bit().toStdString();
    const bool flashRead = ReadWordImage(flashPath, flash.data(), kFlashWords) >= 0;
    const FlashImage image(flash.data(), kFlashWords);
    LogProgramStart(flashPath, flashRead ? static_cast<int>(NonBlankPages(image).size()) : -1);

    // An image that does not fit the bootloader buffer would upload a cut program.
    if (bootHighest < 0 || bootHighest >= static_cast<int>(kBootloaderWords)) {
        ReportError(msg::ErrBootFile);
        return {.closeStep = true, .succeeded = false};
    }
    bootloader.resize(static_cast<std::size_t>(bootHighest) + 1);
    if (!flashRead) {
        ReportError(msg::ErrFlashFile);
        return {.closeStep = true, .succeeded = false};
    }

    const bool attachedByUser = ACattach->isChecked();
    if (!attachedByUser && AttachAdapter() != 0) {
        ReportError(msg::ErrDravin);
        return {.closeStep = true, .succeeded = false};
    }

    if (!Succeeded(SetUpDebugPort())) {
        DetachAfterFailedProgram();
        return {.closeStep = false, .succeeded = false};
    }
    const auto start = ClockNow();
    if (!BootloaderPrepare(bootloader) || !FlashDevice(image)) {
        DetachAfterFailedProgram();
        return {.closeStep = false, .succeeded = false};
    }
    RestartTarget();

    const std::chrono::duration<double> elapsed = ClockNow() - start;
    setStatusText(QString::asprintf("Done in %.2f seconds.", elapsed.count()));

    if (!attachedByUser) {
        DetachAdapter();
    }
    return {.closeStep = true, .succeeded = true};
}

}  // namespace tarnel
