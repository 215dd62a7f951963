#include "program/ProgramRequest.h"

#include "program/StopRequest.h"
#include "program/TargetControl.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "eice/Eice.h"
#include "platform/AdapterSelection.h"
#include "platform/Clock.h"
#include "report/EventLog.h"
#include "report/Report.h"
#include "scan/ByteStream.h"
#include "scan/ImageReader.h"

namespace tarnel {
namespace {

// Reads the image at `path` into `words`: the highest address (-1 with `why` set to the
// path and the system's reason when the file could not be read or holds no record) and
// the count of words beyond `words`.
ImageReadResult ReadImage(const std::string& path, std::vector<std::uint16_t>& words,
                          std::string& why) {
    if (path.empty()) {
        why = "no file named";
        return {};
    }
    ByteStream stream;
    if (!stream.Open(path, StreamMode::Text)) {
        why = path + ": " + std::strerror(errno);
        return {};
    }
    const ImageReadResult read =
        ReadWordImageCounted(stream, words.data(), static_cast<std::uint32_t>(words.size()));
    if (read.highest < 0) {
        why = path + ": no image record";
    }
    return read;
}

// The first of `places` that exists, or nothing with `why` naming every place tried. A
// place that cannot be examined (a folder this user may not read) counts as existing, so
// that the read tells why.
std::optional<std::string> FindBootloader(const std::vector<std::string>& places,
                                          std::string& why) {
    for (const std::string& place : places) {
        try {
            // Paths are UTF-8 on every system.
            const std::filesystem::path path(std::u8string(place.begin(), place.end()));
            std::error_code error;
            if (std::filesystem::status(path, error).type() !=
                std::filesystem::file_type::not_found) {
                return place;
            }
        } catch (const std::exception&) {  // not a path this system can name: the read says so
            return place;
        }
    }
    why = "not found; looked in ";
    for (std::size_t i = 0; i < places.size(); ++i) {
        why += (i == 0 ? "" : ", ") + places[i];
    }
    if (places.empty()) {
        why += "no place";
    }
    return std::nullopt;
}

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
    // Both files are read before anything is reported, so that the log's start line can
    // name the pages.
    std::vector<std::uint16_t> bootloader(kBootloaderWords, 0x0000);
    std::string bootWhy;
    const std::optional<std::string> bootPath = FindBootloader(request.bootloaderPlaces, bootWhy);
    const int bootHighest = bootPath ? ReadImage(*bootPath, bootloader, bootWhy).highest : -1;
    std::vector<std::uint16_t> flash(kFlashWords, 0xFFFF);
    std::string flashWhy;
    const ImageReadResult flashRead = ReadImage(request.imagePath, flash, flashWhy);
    const bool flashReadable = flashRead.highest >= 0;
    const FlashImage image(flash.data(), kFlashWords);
    LogProgramStart(request.imagePath,
                    flashReadable ? static_cast<int>(NonBlankPages(image).size()) : -1,
                    flashReadable ? static_cast<int>(flashRead.wordsBeyond) : -1);

    // A file that cannot be used ends the request before anything is sent.
    std::optional<Failure> refused;
    if (bootHighest < 0) {
        refused = Failure{msg::ErrBootFile, bootWhy};
    } else if (bootHighest >= static_cast<int>(kBootloaderWords)) {
        // It does not fit the bootloader buffer: uploading it would start a cut program.
        refused = Failure{msg::ErrBootFile,
                          *bootPath + ": more than " + std::to_string(kBootloaderWords) + " words"};
    } else if (!flashReadable) {
        refused = Failure{msg::ErrFlashFile, flashWhy};
    }
    ProgramOutcome outcome{.succeeded = false, .closeStep = true};
    if (refused) {
        observer.Failed(*refused);
        ReportError(*refused);
    } else {
        observer.BootloaderRead(*bootPath);
        bootloader.resize(static_cast<std::size_t>(bootHighest) + 1);
        outcome = ProgramImages(bootloader, image, request.attachedByUser, observer);
    }
    if (outcome.succeeded && flashRead.wordsBeyond > 0) {
        outcome.wordsBeyond = flashRead.wordsBeyond;
        ReportNote(BeyondFlashText(flashRead.wordsBeyond));
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
