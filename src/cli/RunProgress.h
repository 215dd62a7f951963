#pragma once
// What tarnel-cli shows of a Program request on standard error.
//
// On a terminal: one line per stage, redrawn in place at most ten times a second, with a
// bar, the percentage, the count done, the rate, the elapsed time and (for the pages) an
// estimate of the time left, fitted to the terminal's width. Not a terminal: no redraws.
// Either way a successful run ends with one summary line ("tarnel-cli: programmed ...").
// Quiet: nothing at all (the failures are reported by the request). Verbose: also the
// adapter, the driver and the bootloader file, and each stage's line when it ends.

#include <cstdio>
#include <string>

#include "platform/Clock.h"
#include "program/ProgramSequence.h"
#include "program/ProgressText.h"

namespace tarnel::cli {

enum class Verbosity { Quiet, Normal, Verbose };

class RunProgress final : public ProgramObserver {
public:
    // Writes to `out` (a terminal or not) under `program`'s name; `driver` says which
    // driver is in use, for the verbose lines.
    RunProgress(std::FILE* out, std::string program, Verbosity verbosity, std::string driver);

    void BootloaderRead(const std::string& path) override;
    void StageBegins(ProgramStage stage) override;
    void ProgressRange(int maximum) override;
    void ProgressAt(int position) override;
    void Programmed(double seconds) override;
    // Ends the stage's line, so that the failure's report stands on a line of its own.
    void Failed(const Failure& failure) override;

private:
    void EndStage();
    void Draw();
    void EndLine();
    void Say(const std::string& text);

    std::FILE* out_;
    std::string program_;
    Verbosity verbosity_;
    std::string driver_;
    bool terminal_;
    bool inStage_ = false;
    bool adapterSaid_ = false;
    bool lineOpen_ = false;        // a drawn line waits for its end
    std::size_t drawnLength_ = 0;  // of the line on the terminal, to blank what it leaves
    StageStanding standing_;
    Clock::time_point stageStart_{};
    Clock::time_point lastDraw_{};
    std::int64_t pagesProgrammed_ = 0;
};

// The width of the terminal `out` is, or 80 when it cannot be told.
int TerminalColumns(std::FILE* out);

}  // namespace tarnel::cli
