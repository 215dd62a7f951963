#include "program/ProgramRequest.h"

#include "program/StopRequest.h"
#include "program/TargetControl.h"

#include <chrono>
#include <optional>
#include <vector>

#include "eice/Eice.h"
#include "platform/AdapterSelection.h"
#include "platform/Clock.h"
#include "program/ImageLoad.h"
#include "report/EventLog.h"
#include "report/Report.h"

namespace tarnel {
namespace {

// Reports `failure` of a step and detaches: a stop is reported with the stop's exit code.
// `attached`: an adapter is held (the request's or the user's).
ProgramOutcome EndFailedRequest(const Failure& failure, const FlashProgress& progress,
                                bool attached, bool attachedByUser, ProgramObserver& observer) {
    const bool interrupted = failure.key == msg::ErrInterrupted;
    observer.Failed(failure);
    if (interrupted) {
        ReportStop(failure, StopExitStatus());
    } else {
        ReportError(failure);
    }
    if (attached) {
        EiceDetach();
    }
    return {.succeeded = false,
            // The process is ending: the close step follows.
            .closeStep = interrupted,
            .detachedUser = attachedByUser,
            .interrupted = interrupted,
            .flashState = interrupted ? FlashStateToken(progress) : std::string()};
}

// The request after both files were read: attach, the steps, restart and detach.
ProgramOutcome ProgramImages(std::span<const std::uint16_t> bootloader, FlashImage image,
                             bool attachedByUser, ProgramObserver& observer) {
    FlashProgress progress;
    if (StopRequested()) {
        return EndFailedRequest(Interrupted(progress), progress, attachedByUser, attachedByUser,
                                observer);
    }
    if (!attachedByUser && EiceAttach() != 0) {
        Failure failure{msg::ErrDravin, AdapterNotFoundDetail()};
        observer.Failed(failure);
        ReportError(failure);
        return {.succeeded = false, .closeStep = true};
    }
    const auto start = ClockNow();
    StepFailure failure = StopRequested() ? Interrupted(progress) : SetUpDebugPort();
    if (!failure) {
        failure = PrepareBootloader(bootloader, observer);
    }
    if (!failure) {
        failure = ProgramFlash(image, observer, progress);
    }
    if (failure) {
        return EndFailedRequest(*failure, progress, true, attachedByUser, observer);
    }
    RestartTarget();
    const std::chrono::duration<double> elapsed = ClockNow() - start;
    observer.Programmed(elapsed.count());
    if (!attachedByUser) {
        EiceDetach();
    }
    return {.succeeded = true, .closeStep = true, .detachedUser = false};
}

}  // namespace

std::string BeyondFlashText(std::uint32_t wordsBeyond) {
    if (wordsBeyond == 0) {
        return {};
    }
    return std::to_string(wordsBeyond) + (wordsBeyond == 1
                                              ? " word beyond the flash was not programmed."
                                              : " words beyond the flash were not programmed.");
}

ProgramOutcome RunProgramRequest(const ProgramRequest& request, ProgramObserver& observer) {
    const auto start = ClockNow();
    std::optional<std::string> givenBack;
    if (!request.adapter.empty()) {
        givenBack = ChooseAdapter(request.adapter);
    }
    // Both files are read and checked before anything is reported, so that the log's start
    // line can say what would be programmed.
    const ImageLoadOptions options{.lenient = request.lenient,
                                   .format = request.imageFormat,
                                   .formatOptions = request.imageReadOptions};
    const LoadedImage bootloader = LoadBootloader(request.bootloaderPlaces, options);
    const LoadedImage flash = LoadFlashImage(request.imagePath, options);
    ProgramStartFields fields;
    if (!flash.failure) {
        fields = {.pages = flash.pages,
                  .wordsBeyond = static_cast<std::int64_t>(flash.read.wordsBeyond),
                  .malformed = static_cast<std::int64_t>(flash.read.malformedCount),
                  .crc32 = flash.crc32};
    }
    LogProgramStart(request.imagePath, fields);

    // A file that cannot be used ends the request before anything is sent.
    const std::optional<Failure>& refused = bootloader.failure ? bootloader.failure : flash.failure;
    ProgramOutcome outcome{.succeeded = false, .closeStep = true};
    if (refused) {
        observer.Failed(*refused);
        ReportError(*refused);
    } else {
        observer.BootloaderRead(bootloader.path);
        outcome = ProgramImages(bootloader.words, FlashImage(flash.words.data(), kFlashWords),
                                request.attachedByUser, observer);
    }
    if (outcome.succeeded) {
        outcome.wordsBeyond = flash.read.wordsBeyond;
        outcome.malformedSkipped = flash.read.malformedCount;
        if (outcome.malformedSkipped > 0) {
            ReportNote(SkippedRecordsText(outcome.malformedSkipped));
        }
        if (outcome.wordsBeyond > 0) {
            ReportNote(BeyondFlashText(outcome.wordsBeyond));
        }
    }

    const std::chrono::duration<double> elapsed = ClockNow() - start;
    LogProgramEnd(outcome.succeeded     ? RequestOutcome::Succeeded
                  : outcome.interrupted ? RequestOutcome::Interrupted
                                        : RequestOutcome::Failed,
                  elapsed.count(), ExitCode(), outcome.flashState);
    if (!request.adapter.empty()) {
        ChooseAdapter(givenBack);
    }
    return outcome;
}

}  // namespace tarnel
