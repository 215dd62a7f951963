#pragma once
// One board of a gang as the parent sees it: the adapter it is programmed through, what
// its child process last told, and how it ended.

#include <chrono>
#include <string>

namespace tarnel::cli {

enum class BoardOutcome { Running, Success, Failure, Interrupted };

// What the board's flash holds, judged from how far its child got: nothing is changed
// before the erase; after the erase began and before the last page was acknowledged it
// holds neither the old program nor the image.
enum class FlashState { Unchanged, EraseBegun, PartlyProgrammed, Programmed };

struct BoardState {
    std::string choice;  // what the child is given with --adapter: a port or a serial
    std::string port;    // "-" when unknown
    std::string serial;  // "-" when unknown

    std::string stage;  // "", "bootloader", "erase" or "flash": the last one begun
    int percent = 0;    // of the stage
    int pages = 0;      // pages programmed and acknowledged
    BoardOutcome outcome = BoardOutcome::Running;
    std::string message;  // the failure's text (empty on success)
    std::string detail;   // the failure's detail
    int exitCode = -1;    // the child's exit status; -1 while it runs or when it was killed

    std::chrono::system_clock::time_point startedAt{};
    std::chrono::system_clock::time_point endedAt{};
    std::chrono::steady_clock::time_point startedSteady{};
    std::chrono::steady_clock::time_point endedSteady{};

    // What the child wrote that is not one of its protocol lines, the last of it: it says
    // why a child that could not make its request ended.
    std::string lastOtherLine;
    bool ended = false;  // the child has ended and its outcome is final
};

// The flash state that `board`'s progress implies.
FlashState BoardFlash(const BoardState& board);

// "unchanged", "erase-begun", "partly-programmed", "programmed".
const char* FlashStateName(FlashState state);

// "running", "success", "failure", "interrupted" (the event log's words).
const char* OutcomeName(BoardOutcome outcome);

// Seconds from the board's start to its end, or to `now` while it runs.
double BoardSeconds(const BoardState& board, std::chrono::steady_clock::time_point now);

}  // namespace tarnel::cli
