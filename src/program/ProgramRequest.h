#pragma once
// The whole Program request, as the window and a command-line front end make it: read the
// bootloader and the image, attach unless the user has, set up the debug port, upload the
// bootloader, program the flash, restart the target and detach again. The event log gets
// the request's start and end lines.
//
// Every failure is reported here, through ReportError with its key and detail (which sets
// the exit code and logs it); the caller only shows the outcome. Needs no window.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/BootloaderPlaces.h"
#include "program/ProgramSequence.h"

namespace tarnel {

struct ProgramRequest {
    // Where the bootloader image (at most kBootloaderWords words) may be, in order: the
    // first that exists is read. By default the places of BootloaderPlaces().
    std::vector<std::string> bootloaderPlaces = BootloaderPlaces();
    std::string imagePath;        // the image to program
    bool attachedByUser = false;  // the user holds an attachment; kept after a success
    // The adapter to use, by serial number or port path, in place of TARNEL_ADAPTER for
    // this request; empty: as TARNEL_ADAPTER chooses.
    std::string adapter;
};

struct ProgramOutcome {
    bool succeeded = false;  // the flash holds the image and the target was restarted
    // The request ends at the close step of -c/-cc: false after a failed step on an
    // attached target (the tool then stays open, as the user may try again).
    bool closeStep = false;
    // The request detached the user's attachment after a failed step: the caller shows
    // the target as detached.
    bool detachedUser = false;
    // Words of the image at addresses beyond the flash: not programmed (the rest was).
    std::uint32_t wordsBeyond = 0;
    // The request stopped at a stop request (StopRequested) and reported "ErrInterrupted"
    // with the stop's exit code; flashState says what the flash holds (FlashStateToken).
    bool interrupted = false;
    std::string flashState{};
};

// What a successful request that left `wordsBeyond` words out adds to its outcome:
// "12 words beyond the flash were not programmed." ("1 word ... was ..."); empty for 0.
std::string BeyondFlashText(std::uint32_t wordsBeyond);

// Runs the request. Files are read first and their failures reported in this order:
// "ErrBootFile" (no place holds the file, which the detail lists; unreadable, no record,
// or more than kBootloaderWords words), then "ErrFlashFile"; then "ErrDravin" when the
// attach fails; each of these ends the request with nothing held. A failed step after the
// attach is reported by its key and the adapter is detached, the user's attachment
// included. After a success with words beyond the flash, BeyondFlashText goes to
// ReportNote (standard error when no box is shown). A stop request (StopRequest.h) made
// before or during the steps ends the request at the next safe point: "ErrInterrupted" is
// reported with what the flash holds and the exit code of the stop, the adapter is
// detached (the user's attachment included) and closed, and the log's end line says
// outcome=interrupted with the flash state. The restart after a programmed flash is not
// stopped: the flash already holds the image.
ProgramOutcome RunProgramRequest(const ProgramRequest& request, ProgramObserver& observer);

}  // namespace tarnel
