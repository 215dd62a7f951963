// The Program action: bootloader upload, flash programming and the restart.

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <algorithm>
#include <vector>

#include "app/Action.h"
#include "app/Application.h"
#include "app/Mailbox.h"
#include "app/Mainform.h"
#include "app/TargetReset.h"
#include "eice/Eice.h"
#include "link/AdapterLink.h"
#include "link/Attach.h"
#include "platform/Clock.h"
#include "platform/ExecutablePath.h"
#include "report/Report.h"
#include "scan/ImageReader.h"

namespace tarnel {

bool TFmainform::BootloaderPrepare(const std::uint16_t* image, unsigned count) {
    setStatusText(QStringLiteral("Preparing bootloader..."));
    QApplication::processEvents();

    // Stop and reset the target, then load the registers the bootloader expects. Each
    // goes out on its own and all are sent; a transfer that was cut short leaves the link
    // open, so the results are gathered here: a bootloader started on a target whose reset
    // or registers did not arrive could program the flash wrongly and still answer 1.
    int failed = SendResetSequence(true);
    failed |= EiceWrite(CmdRegister | 0xFF72, 55);
    failed |= EiceWrite(CmdRegister | 0xFF44, 256);
    failed |= EiceWrite(CmdRegister | 0xFF47, 0);
    failed |= EiceWrite(CmdRegister | 0xFF48, 0);
    failed |= EiceWrite(CmdRegister | 0xFF49, 7);
    failed |= EiceWrite(CmdRegister | 0xFF53, 0);
    failed |= EiceWrite(CmdRegister | 0xFF54, 4);
    failed |= EiceWrite(CmdRegister | 0xFF55, 3);
    failed |= EiceWrite(CmdRegister | 0xFF43, 2);
    if (failed != 0) {
        ReportError("ErrUplBoot");
        return false;
    }

    autoFlush = 0;  // the upload streams through full out buffers
    Progress->setMaximum(static_cast<int>(count) - 1);
    for (unsigned i = 0; i < count; ++i) {
        Progress->setValue(static_cast<int>(i));
        if (EiceWrite(CmdProgramWord | (i & 0xFFFFu), image[i]) != 0) {
            ReportError("ErrUplBoot");
            return false;
        }
    }
    // Queued behind the upload; it leaves with the first mailbox poll. It fails only when
    // it fills the out buffer and that transfer fails: the bootloader may then never start,
    // and the request must say so rather than end without a word.
    if (EiceExecute(CmdRun) != 0) {
        ReportError("ErrUplBoot");
        return false;
    }
    autoFlush = 1;
    return true;
}

bool TFmainform::FlashDevice(const std::uint16_t* image) {
    setStatusText(QStringLiteral("Erasing device..."));
    autoFlush = 0;
    std::uint32_t answer = 0;
    if (MailboxCommand(kMailboxErase, answer, kMailboxPolls) != 0) {
        ReportError("ErrEICEcom");
        return false;
    }
    if (answer != 1) {
        ReportError("ErrMassErase");
        return false;
    }

    const std::vector<int> pages = NonBlankPages(image);
    setStatusText(QStringLiteral("Flashing..."));
    QApplication::processEvents();
    // With no page to program the bar gets 0, never a maximum below its minimum.
    Progress->setMaximum(std::max(static_cast<int>(pages.size()) - 1, 0));
    for (std::size_t k = 0; k < pages.size(); ++k) {
        if (SendPage(image, pages[k]) != 0 ||
            MailboxCommand(kMailboxProgramPage, answer, kMailboxPolls) != 0) {
            ReportError("ErrEICEcom");
            return false;
        }
        if (answer != 1) {
            ReportError("ErrPageProgram");
            return false;
        }
        Progress->setValue(static_cast<int>(k));
    }
    // The last status read has emptied the out buffer, so this sends nothing; were it to
    // fail, the request must not end as a success.
    if (EiceFlush() != 0) {
        ReportError("ErrEICEcom");
        return false;
    }
    autoFlush = 1;
    return true;
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
    // One request at a time: a click that reaches the window while a request pumps
    // messages is dropped.
    if (programBusy_) {
        return;
    }
    programBusy_ = true;
    const bool closeStep = RunProgramRequest();
    programBusy_ = false;

    if (closeStep) {
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

bool TFmainform::RunProgramRequest() {
    Progress->setValue(0);

    std::vector<std::uint16_t> bootloader(kBootloaderWords, 0x0000);
    const std::string bootPath = DirectoryOf(ExecutablePath()) + "flash.ram";
    const int bootHighest = ReadWordImage(bootPath, bootloader.data(), kBootloaderWords);
    // An image that does not fit the bootloader buffer would upload a cut program.
    if (bootHighest < 0 || bootHighest >= static_cast<int>(kBootloaderWords)) {
        ReportError("ErrBootFile");
        return true;
    }

    std::vector<std::uint16_t> flash(kFlashWords, 0xFFFF);
    const std::string flashPath = Efilename->text().toLocal8Bit().toStdString();
    if (ReadWordImage(flashPath, flash.data(), kFlashWords) < 0) {
        ReportError("ErrFlashFile");
        return true;
    }

    const bool attachedByUser = ACattach->isChecked();
    if (!attachedByUser && AttachAdapter() != 0) {
        ReportError("ErrDravin");
        return true;
    }
    // A debug port that was not set up takes no command: nothing after it could succeed.
    if (EiceWrite(CmdSetup, SetupValue) != 0) {
        ReportError("ErrEICEcom");
        DetachAfterFailedProgram();
        return false;
    }

    const auto start = ClockNow();
    if (!BootloaderPrepare(bootloader.data(), static_cast<unsigned>(bootHighest) + 1) ||
        !FlashDevice(flash.data())) {
        DetachAfterFailedProgram();
        return false;
    }

    // Leave the bootloader: halt, reset pulse, reset, and start the programmed code.
    SendResetSequence(false);
    EiceExecute(CmdRun);

    const std::chrono::duration<double> elapsed = ClockNow() - start;
    setStatusText(QString::asprintf("Done in %.2f seconds.", elapsed.count()));

    if (!attachedByUser) {
        DetachAdapter();
    }
    return true;
}

}  // namespace tarnel
