#include "program/ProgramSequence.h"

#include <algorithm>
#include <string>

#include "eice/Eice.h"
#include "program/StopRequest.h"
#include "program/TargetReset.h"

namespace tarnel {
namespace {
Failure PageFailure(MessageKey key, int page) {
    return {key, "page " + std::to_string(page)};
}
}  // namespace

std::string FlashStateToken(const FlashProgress& progress) {
    if (progress.lastPage >= 0) {
        return "pages:0.." + std::to_string(progress.lastPage);
    }
    return progress.erased ? "erased" : progress.eraseSent ? "erasing" : "unchanged";
}

std::string InterruptedDetail(const FlashProgress& progress) {
    if (!progress.eraseSent) {
        return "stopped before the erase; the flash is unchanged";
    }
    const char* again = "; program it again";
    if (progress.lastPage >= 0) {
        return "the flash is erased with the image's pages 0.." +
               std::to_string(progress.lastPage) + " programmed" + again;
    }
    return (progress.erased ? "the flash is erased" : "the flash is partly erased") +
           std::string(again);
}

Failure Interrupted(const FlashProgress& progress) {
    return {msg::ErrInterrupted, InterruptedDetail(progress)};
}

StepFailure SetUpDebugPort() {
    if (EiceWrite(CmdSetup, SetupValue) != 0) {
        return Failure{msg::ErrEICEcom, "set-up"};
    }
    return std::nullopt;
}

StepFailure PrepareBootloader(std::span<const std::uint16_t> bootloader,
                              ProgramObserver& observer) {
    observer.StageBegins(ProgramStage::PreparingBootloader);
    const FlashProgress untouched;
    if (StopRequested()) {
        return Interrupted(untouched);
    }

    // Each goes out on its own and all are sent. A transfer cut short leaves the link
    // open, so the results are gathered: a bootloader started on a target whose reset or
    // registers did not arrive could program the flash wrongly and still answer 1.
    const bool resetSent = SendResetSequence(true).allSent;
    if (StopRequested()) {
        return Interrupted(untouched);
    }
    int loadFailed = 0;
    for (const RegisterLoad& load : kBootloaderRegisters) {
        loadFailed |= EiceWrite(CmdRegister | load.address, load.value);
    }
    if (!resetSent) {
        return Failure{msg::ErrUplBoot, "stop and reset"};
    }
    if (loadFailed != 0) {
        return Failure{msg::ErrUplBoot, "register load"};
    }

    if (StopRequested()) {
        return Interrupted(untouched);
    }
    // The upload streams through full out buffers.
    const EiceBatch streaming;
    observer.ProgressRange(static_cast<int>(bootloader.size()) - 1);
    for (std::size_t i = 0; i < bootloader.size(); ++i) {
        observer.ProgressAt(static_cast<int>(i));
        if (EiceWrite(CmdProgramWord | (i & 0xFFFFu), bootloader[i]) != 0) {
            return Failure{msg::ErrUplBoot, "word " + std::to_string(i)};
        }
    }
    if (StopRequested()) {
        return Interrupted(untouched);
    }
    // It fails only when it fills the out buffer and that transfer fails: the bootloader
    // may then never start.
    if (EiceExecute(CmdRun) != 0) {
        return Failure{msg::ErrUplBoot, "run command"};
    }
    return std::nullopt;
}

StepFailure ProgramFlash(FlashImage image, ProgramObserver& observer, FlashProgress& progress) {
    observer.StageBegins(ProgramStage::Erasing);
    if (StopRequested()) {
        return Interrupted(progress);
    }
    // Page writes gather in the out buffer; each status read sends the rest.
    const EiceBatch batched;
    std::uint32_t answer = 0;
    progress.eraseSent = true;
    const int erase = MailboxCommand(kMailboxErase, answer, kMailboxPolls, true);
    if (erase == kMailboxStopped) {
        return Interrupted(progress);
    }
    if (erase != 0) {
        return Failure{msg::ErrEICEcom, "erase"};
    }
    if (answer != 1) {
        return Failure{msg::ErrMassErase, "answer " + std::to_string(answer)};
    }
    progress.erased = true;

    const std::vector<int> pages = NonBlankPages(image);
    observer.StageBegins(ProgramStage::Flashing);
    observer.ProgressRange(std::max(static_cast<int>(pages.size()) - 1, 0));
    for (std::size_t k = 0; k < pages.size(); ++k) {
        if (StopRequested()) {
            return Interrupted(progress);
        }
        if (SendPage(image, pages[k]) != 0 ||
            MailboxCommand(kMailboxProgramPage, answer, kMailboxPolls) != 0) {
            return PageFailure(msg::ErrEICEcom, pages[k]);
        }
        if (answer != 1) {
            return PageFailure(msg::ErrPageProgram, pages[k]);
        }
        progress.lastPage = pages[k];
        observer.ProgressAt(static_cast<int>(k));
    }
    // The last status read has emptied the out buffer, so this sends nothing; were it to
    // fail, the request must not end as a success.
    if (EiceFlush() != 0) {
        return Failure{msg::ErrEICEcom, "final flush"};
    }
    return std::nullopt;
}

void RestartTarget() {
    SendResetSequence(false);
    EiceExecute(CmdRun);
}

}  // namespace tarnel
