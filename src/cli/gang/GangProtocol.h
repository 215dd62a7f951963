#pragma once
// The lines through which a tarnel-cli child tells the gang that started it how its
// request goes, one line per event on its standard output, in the event log's key=value
// form (strings quoted as the log quotes them) without time stamp and process ID:
//   stage name=bootloader            (bootloader, erase, flash)
//   progress percent=37 pages=12     (pages: programmed and acknowledged so far)
//   failed key=ErrMassErase text="Mass erase error" detail="answer 2"
//   end outcome=success exit=0       (success, failure or interrupted; the last line)
// A child writes them, and no progress line for a person, when kGangChildVariable is set.
// Fields are only ever added at the end of a line; a reader ignores what it does not know.

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "cli/gang/GangBoard.h"
#include "program/ProgramSequence.h"

namespace tarnel::cli {

// Set in a child's environment by the gang that starts it.
inline constexpr char kGangChildVariable[] = "TARNEL_GANG_CHILD";

// Whether this process was started by a gang (kGangChildVariable is set, not empty).
bool IsGangChild();

// The child's side: writes each event as one line to `out` and flushes it at once, so
// that the parent sees it while the request runs.
class GangChildReporter final : public ProgramObserver {
public:
    explicit GangChildReporter(std::FILE* out) : out_(out) {}

    void StageBegins(ProgramStage stage) override;
    void ProgressRange(int maximum) override;
    void ProgressAt(int position) override;
    void Programmed(double seconds) override;
    void Failed(const Failure& failure) override;

    // A failure that happened before any request could be made (the driver), as a failed
    // line without a key.
    void FailedBeforeRequest(std::string_view text, std::string_view detail);
    // The last line: `outcome` is what the request's outcome says.
    void End(BoardOutcome outcome, int exitCode);

private:
    void Write(std::string_view event, const std::string& fields);

    std::FILE* out_;
    ProgramStage stage_ = ProgramStage::PreparingBootloader;
    int maximum_ = 0;
    int percent_ = -1;
    int pages_ = 0;
};

struct GangLine {
    std::string event;
    std::map<std::string, std::string, std::less<>> fields;  // values unquoted
};

// One protocol line (without its line end) as event and fields; nothing when it is not
// one: an unknown event, or fields that are not key=value with well-formed quoting.
std::optional<GangLine> ParseGangLine(std::string_view line);

// Applies one line the child wrote to its board: a protocol line moves its stage,
// progress, failure or outcome; any other line is kept as `lastOtherLine`.
void ApplyChildLine(BoardState& board, std::string_view line);

}  // namespace tarnel::cli
