#pragma once
// The progress line of tarnel-cli on a terminal: the stage and its percentage, rewritten
// in place, then "Done in N.NN seconds.". Nothing is written when the stream is not a
// terminal, so that logs and pipes get only the reports.

#include <cstdio>

#include "program/ProgramSequence.h"

namespace tarnel::cli {

class TerminalProgress final : public ProgramObserver {
public:
    // Writes to `out` when it is a terminal, else nothing.
    explicit TerminalProgress(std::FILE* out);

    void StageBegins(ProgramStage stage) override;
    void ProgressRange(int maximum) override;
    void ProgressAt(int position) override;
    void Programmed(double seconds) override;
    // Ends the progress line before the failure's report is written.
    void Failed(const Failure& failure) override;

    // Ends the progress line, if one is shown, so that a report starts a line of its own.
    void EndLine();

private:
    void Show();

    std::FILE* out_;  // null: not a terminal
    const char* stage_ = "";
    int maximum_ = 0;
    int percent_ = -1;
    bool lineOpen_ = false;
};

}  // namespace tarnel::cli
