#pragma once
// What a gang shows while it runs. On a terminal, a table with one row per board, redrawn
// in place at most kRedrawsPerSecond times a second:
//   1-2     EMU00002   flash      [#########           ]  45%   2.1 s
//   1-3     EMU00003   failed: Mass erase error: answer 2
// Elsewhere (a pipe, a log file) one line per board as it ends. Both end with the summary:
//   4 of 5 boards programmed in 3.4 s; failed: 1-3 EMU00003 Mass erase error

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/gang/GangBoard.h"

namespace tarnel::cli {

inline constexpr int kTableWidth = 79;  // one less than the terminal: no line wraps
inline constexpr int kRedrawsPerSecond = 10;

// The board's row of the table, at most kTableWidth characters, no line end.
std::string BoardRow(const BoardState& board, std::chrono::steady_clock::time_point now);

// The line for a board that ended, when there is no table (no line end):
//   1-2 EMU00002 ok 3.40 s
//   1-3 EMU00003 failed: Mass erase error: answer 2 (flash erased)
std::string BoardEndLine(const BoardState& board);

// The summary line (no line end); `seconds` is the gang's wall time.
std::string SummaryLine(const std::vector<BoardState>& boards, double seconds);

class GangTable {
public:
    // `terminal`: draw the table on `out`; else write a line per board as it ends.
    GangTable(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}

    // Shows the boards as they are now: the table is redrawn when the last drawing is at
    // least 1/kRedrawsPerSecond old or a board has ended since; without a table, a board
    // that has ended gets its line once.
    void Show(const std::vector<BoardState>& boards, std::chrono::steady_clock::time_point now);

    // The last drawing and the summary line.
    void Finish(const std::vector<BoardState>& boards, std::chrono::steady_clock::time_point now,
                double seconds);

private:
    void Draw(const std::vector<BoardState>& boards, std::chrono::steady_clock::time_point now);

    std::FILE* out_;
    bool terminal_;
    int rowsDrawn_ = 0;
    std::size_t endedShown_ = 0;  // boards that had ended at the last drawing
    std::vector<bool> lineWritten_;
    std::chrono::steady_clock::time_point lastDrawing_{};
};

// Whether `stream` is a terminal on which the table can be drawn in place (on Windows,
// a console that takes the cursor sequences, which this turns on).
bool CanDrawTable(std::FILE* stream);

}  // namespace tarnel::cli
