#pragma once
// The programming sequence over the debug channel, one step at a time: the debug port's
// set-up, bootloader preparation and upload, erase and page programming, and the restart.
// A step returns its failure (message key and detail), or nothing when it succeeded; the
// caller reports it and detaches. Nothing here knows of a window: stages and progress go
// to an observer. Every step needs an attached adapter.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "program/Mailbox.h"
#include "report/MessageKeys.h"

namespace tarnel {

// The failure of a step; empty when it succeeded.
using StepFailure = std::optional<Failure>;

enum class ProgramStage { PreparingBootloader, Erasing, Flashing };

class ProgramObserver {
public:
    virtual ~ProgramObserver() = default;
    // The bootloader image was read from `path`, before anything is sent.
    virtual void BootloaderRead(const std::string& path) { static_cast<void>(path); }
    virtual void StageBegins(ProgramStage stage) = 0;
    // The stage's progress runs from 0 to `maximum` (never below 0).
    virtual void ProgressRange(int maximum) = 0;
    virtual void ProgressAt(int position) = 0;
    // The image is programmed and the target restarted, `seconds` after the set-up; told
    // before the request's own detach.
    virtual void Programmed(double seconds) = 0;
    // The request failed with `failure`; told just before it is reported, so that what
    // the caller shows agrees with the report while a box is open.
    virtual void Failed(const Failure& failure) { static_cast<void>(failure); }
};

struct RegisterLoad {
    std::uint16_t address;
    std::uint16_t value;
};

// The registers that the bootloader expects, loaded in this order after the reset.
inline constexpr RegisterLoad kBootloaderRegisters[] = {
    {0xFF72, 55}, {0xFF44, 256}, {0xFF47, 0}, {0xFF48, 0}, {0xFF49, 7},
    {0xFF53, 0},  {0xFF54, 4},   {0xFF55, 3}, {0xFF43, 2},
};

// How far ProgramFlash got: what the flash holds when a request ends early.
struct FlashProgress {
    bool eraseSent = false;  // the erase command went out
    bool erased = false;     // the bootloader acknowledged the erase
    int lastPage = -1;  // the highest page acknowledged; the image's pages up to it are programmed
};

// The flash state of `progress` as one word for the event log: "unchanged", "erasing"
// (the erase was cut), "erased", "pages:0..K".
std::string FlashStateToken(const FlashProgress& progress);

// The detail of "ErrInterrupted": what the flash holds and, unless it is unchanged, that it
// must be programmed again.
std::string InterruptedDetail(const FlashProgress& progress);

// The failure of a step that stopped at a stop request (StopRequested), with the flash
// state of `progress`.
Failure Interrupted(const FlashProgress& progress);

// Writes the debug port's set-up word. A port that was not set up takes no command.
StepFailure SetUpDebugPort();

// Stops and resets the target, loads kBootloaderRegisters (all of them, whatever failed:
// the transfers are sent as ever, and a failed one ends the step before the upload), writes
// `bootloader` (1 to kBootloaderWords words) into program memory from address 0 and queues the run
// command, which leaves with the first mailbox poll. A stop request is honoured before the
// reset, before the register loads, before the upload and before the run command: the step
// then ends with Interrupted (the flash is unchanged).
StepFailure PrepareBootloader(std::span<const std::uint16_t> bootloader, ProgramObserver& observer);

// Has the bootloader erase the flash, then programs every page of `image` that holds a
// word other than 0xFFFF, each acknowledged before the next is sent. `progress` follows
// what the flash holds. A stop request is honoured before the erase, between two polls of
// the erase and between two pages (a page sent is finished first): the step then ends
// with Interrupted(progress).
StepFailure ProgramFlash(FlashImage image, ProgramObserver& observer, FlashProgress& progress);

// Leaves the bootloader: halt, reset pulse, reset, and start the programmed code. Its
// results are not examined: the flash already holds the image.
void RestartTarget();

}  // namespace tarnel
