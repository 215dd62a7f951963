#include "program/ProgramSequence.h"

#include <algorithm>

#include "eice/Eice.h"
#include "link/AdapterLink.h"
#include "program/TargetReset.h"
#include "report/MessageKeys.h"

namespace tarnel {

StepFailure SetUpDebugPort() {
    return EiceWrite(CmdSetup, SetupValue) == 0 ? nullptr : msg::ErrEICEcom;
}

StepFailure PrepareBootloader(std::span<const std::uint16_t> bootloader,
                              ProgramObserver& observer) {
    observer.StageBegins(ProgramStage::PreparingBootloader);

    // Each goes out on its own and all are sent. A transfer cut short leaves the link
    // open, so the results are gathered: a bootloader started on a target whose reset or
    // registers did not arrive could program the flash wrongly and still answer 1.
    int failed = SendResetSequence(true);
    for (const RegisterLoad& load : kBootloaderRegisters) {
        failed |= EiceWrite(CmdRegister | load.address, load.value);
    }
    if (failed != 0) {
        return msg::ErrUplBoot;
    }

    // The upload streams through full out buffers.
    const AutoFlushScope streaming(0);
    observer.ProgressRange(static_cast<int>(bootloader.size()) - 1);
    for (std::size_t i = 0; i < bootloader.size(); ++i) {
        observer.ProgressAt(static_cast<int>(i));
        if (EiceWrite(CmdProgramWord | (i & 0xFFFFu), bootloader[i]) != 0) {
            return msg::ErrUplBoot;
        }
    }
    // It fails only when it fills the out buffer and that transfer fails: the bootloader
    // may then never start.
    return EiceExecute(CmdRun) == 0 ? nullptr : msg::ErrUplBoot;
}

StepFailure ProgramFlash(FlashImage image, ProgramObserver& observer) {
    observer.StageBegins(ProgramStage::Erasing);
    // Page writes gather in the out buffer; each status read sends the rest.
    const AutoFlushScope batched(0);
    std::uint32_t answer = 0;
    if (MailboxCommand(kMailboxErase, answer, kMailboxPolls) != 0) {
        return msg::ErrEICEcom;
    }
    if (answer != 1) {
        return msg::ErrMassErase;
    }

    const std::vector<int> pages = NonBlankPages(image);
    observer.StageBegins(ProgramStage::Flashing);
    observer.ProgressRange(std::max(static_cast<int>(pages.size()) - 1, 0));
    for (std::size_t k = 0; k < pages.size(); ++k) {
        if (SendPage(image, pages[k]) != 0 ||
            MailboxCommand(kMailboxProgramPage, answer, kMailboxPolls) != 0) {
            return msg::ErrEICEcom;
        }
        if (answer != 1) {
            return msg::ErrPageProgram;
        }
        observer.ProgressAt(static_cast<int>(k));
    }
    // The last status read has emptied the out buffer, so this sends nothing; were it to
    // fail, the request must not end as a success.
    return EiceFlush() == 0 ? nullptr : msg::ErrEICEcom;
}

void RestartTarget() {
    SendResetSequence(false);
    EiceExecute(CmdRun);
}

}  // namespace tarnel
