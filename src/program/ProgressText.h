#pragma once
// How a Program request's progress reads, for every front end: the stage texts, the
// "Done in" text, the failure's status text, the percent steps that decide when a display
// changes, and the pieces of a text progress line (bar, counts, rate, times, estimate).
// Pure functions and small value types: no output, no clock of their own.

#include <cstdint>
#include <string>

#include "program/ProgramSequence.h"

namespace tarnel {

// The status text of a stage: "Preparing bootloader...", "Erasing device...",
// "Flashing...".
const char* StageStatusText(ProgramStage stage);

// The short name of a stage in a progress line or a table: "bootloader", "erase",
// "flash" (at most kStageNameWidth characters).
const char* StageName(ProgramStage stage);
inline constexpr int kStageNameWidth = 10;

// "Done in 2.93 seconds.": what a successful request shows.
std::string DoneText(double seconds);

// The text that stands for `failure` where one line shows how a request ended (the
// window's status bar): its message's text.
std::string FailureStatusText(const Failure& failure);

// Decides when a display of a stage's progress changes: at a new percentage, and always
// at the stage's last position. An upload makes thousands of steps.
class PercentSteps {
public:
    // A new stage runs from 0 to `maximum`; nothing is shown yet.
    void Restart(int maximum);
    // Whether `position` shows something new; if so it becomes the shown one.
    bool Moves(int position);
    // The shown percentage, 0 to 100; -1 before the first Moves.
    int percent() const { return percent_; }

private:
    int maximum_ = 0;
    int percent_ = -1;
};

// Where one stage stands. Units are words for the bootloader, pages for the flash; the
// erase has none (total 0).
struct StageStanding {
    ProgramStage stage = ProgramStage::PreparingBootloader;
    std::int64_t done = 0;   // units finished
    std::int64_t total = 0;  // units of the stage; 0: no count to show
    double seconds = 0;      // since the stage began
};

// The words the stage has written so far.
std::int64_t WordsDone(const StageStanding& standing);

// `count` with a comma every three digits: "32,768".
std::string GroupedNumber(std::int64_t count);

// A duration as people read it: "0.4 s", "12.3 s", "2 m 05 s".
std::string DurationText(double seconds);

// "[=======>      ]" of exactly `width` characters (at least 3) for done of total.
std::string ProgressBar(std::int64_t done, std::int64_t total, int width);

// One line for `standing` that fits `columns` characters (it never fills the last one,
// where a terminal would wrap):
//   "flash      [========>        ]  49%   63/128 pages  11,264 words/s  1.4 s  1.5 s left"
// The estimate of the time left is given only for the flash's pages, once one is done.
// On a narrow line the bar goes first, then the rate, the estimate and the count; the
// name, percentage and elapsed time stay while they fit.
std::string ProgressLine(const StageStanding& standing, int columns);

// The closing line of a successful run without a window:
// "programmed 128 pages (32,768 words) through adapter SERIAL at PORT in 2.9 s"; the
// adapter part is left out when `serial` and `port` are both empty.
std::string ProgrammedSummary(std::int64_t pages, const std::string& serial,
                              const std::string& port, double seconds);

}  // namespace tarnel
