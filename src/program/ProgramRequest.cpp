#include "program/ProgramRequest.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "eice/Eice.h"
#include "platform/Clock.h"
#include "report/EventLog.h"
#include "report/Report.h"
#include "scan/ImageReader.h"

namespace tarnel {
namespace {

// Reads the image at `path` into `words`; the highest address, or -1 with `why` set to
// the system's reason when the file could not be opened.
int ReadImage(const std::string& path, std::vector<std::uint16_t>& words, std::string& why) {
    errno = 0;
    const int highest = ReadWordImage(path, words.data(), static_cast<std::uint32_t>(words.size()));
    if (highest < 0) {
        why = path + ": " + (errno != 0 ? std::strerror(errno) : "no image record");
    }
    return highest;
}

// The request after both files were read: attach, the steps, restart and detach.
ProgramOutcome ProgramImages(std::span<const std::uint16_t> bootloader, FlashImage image,
                             bool attachedByUser, ProgramObserver& observer) {
    if (!attachedByUser && EiceAttach() != 0) {
        Failure failure{msg::ErrDravin, EiceAttachFault()};
        observer.Failed(failure);
        ReportError(failure);
        return {.succeeded = false, .closeStep = true, .failure = std::move(failure)};
    }
    const auto start = ClockNow();
    StepFailure failure = SetUpDebugPort();
    if (!failure) {
        failure = PrepareBootloader(bootloader, observer);
    }
    if (!failure) {
        failure = ProgramFlash(image, observer);
    }
    if (failure) {
        observer.Failed(*failure);
        ReportError(*failure);
        EiceDetach();
        return {.succeeded = false,
                .closeStep = false,
                .detachedUser = attachedByUser,
                .failure = std::move(failure)};
    }
    RestartTarget();
    const std::chrono::duration<double> elapsed = ClockNow() - start;
    observer.Programmed(elapsed.count());
    if (!attachedByUser) {
        EiceDetach();
    }
    return {.succeeded = true, .closeStep = true, .detachedUser = false, .failure = std::nullopt};
}

}  // namespace

ProgramOutcome RunProgramRequest(const ProgramRequest& request, ProgramObserver& observer) {
    const auto start = ClockNow();
    // Both files are read before anything is reported, so that the log's start line can
    // name the pages.
    std::vector<std::uint16_t> bootloader(kBootloaderWords, 0x0000);
    std::string bootWhy;
    const int bootHighest = ReadImage(request.bootloaderPath, bootloader, bootWhy);
    std::vector<std::uint16_t> flash(kFlashWords, 0xFFFF);
    std::string flashWhy;
    const bool flashRead = ReadImage(request.imagePath, flash, flashWhy) >= 0;
    const FlashImage image(flash.data(), kFlashWords);
    LogProgramStart(request.imagePath,
                    flashRead ? static_cast<int>(NonBlankPages(image).size()) : -1);

    // A file that cannot be used ends the request before anything is sent.
    std::optional<Failure> refused;
    if (bootHighest < 0) {
        refused = Failure{msg::ErrBootFile, bootWhy};
    } else if (bootHighest >= static_cast<int>(kBootloaderWords)) {
        // It does not fit the bootloader buffer: uploading it would start a cut program.
        refused = Failure{msg::ErrBootFile, request.bootloaderPath + ": more than " +
                                                std::to_string(kBootloaderWords) + " words"};
    } else if (!flashRead) {
        refused = Failure{msg::ErrFlashFile, flashWhy};
    }
    ProgramOutcome outcome{.succeeded = false, .closeStep = true, .failure = refused};
    if (refused) {
        observer.Failed(*refused);
        ReportError(*refused);
    } else {
        bootloader.resize(static_cast<std::size_t>(bootHighest) + 1);
        outcome = ProgramImages(bootloader, image, request.attachedByUser, observer);
    }

    const std::chrono::duration<double> elapsed = ClockNow() - start;
    LogProgramEnd(outcome.succeeded, elapsed.count(), ExitCode());
    return outcome;
}

}  // namespace tarnel
