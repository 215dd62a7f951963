#include "cli/gang/GangTable.h"

#include <algorithm>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#if defined(_WIN32) && !defined(ENABLE_VIRTUAL_TERMINAL_PROCESSING)
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace tarnel::cli {
namespace {

constexpr int kBarWidth = 20;

std::string Format(const char* format, auto... values) {
    char text[160];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string FailureText(const BoardState& board) {
    std::string text = board.message.empty() ? "failed" : board.message;
    if (!board.detail.empty()) {
        text += ": " + board.detail;
    }
    return text;
}

// "flash erase begun": the flash state in words.
std::string FlashWords(const BoardState& board) {
    std::string words = std::string("flash ") + FlashStateName(BoardFlash(board));
    std::replace(words.begin(), words.end(), '-', ' ');
    return words;
}

std::string Ending(const BoardState& board) {
    switch (board.outcome) {
        case BoardOutcome::Success:
            return Format("ok %.2f s", BoardSeconds(board, {}));
        case BoardOutcome::Interrupted:
            return "stopped (" + FlashWords(board) + ")";
        case BoardOutcome::Failure:
        case BoardOutcome::Running:
            break;
    }
    return "failed: " + FailureText(board) + " (" + FlashWords(board) + ")";
}

std::size_t EndedCount(const std::vector<BoardState>& boards) {
    return static_cast<std::size_t>(
        std::count_if(boards.begin(), boards.end(), [](const BoardState& b) { return b.ended; }));
}

}  // namespace

std::string BoardRow(const BoardState& board, std::chrono::steady_clock::time_point now) {
    std::string row = Format("%-7.7s %-10.10s ", board.port.c_str(), board.serial.c_str());
    if (board.ended) {
        row += Ending(board);
    } else {
        const int percent = std::clamp(board.percent, 0, 100);
        const std::string bar(static_cast<std::size_t>(percent * kBarWidth / 100), '#');
        row += Format("%-10.10s [%-20s] %3d%% %5.1f s",
                      board.stage.empty() ? "starting" : board.stage.c_str(), bar.c_str(), percent,
                      BoardSeconds(board, now));
    }
    if (row.size() > static_cast<std::size_t>(kTableWidth)) {
        row.resize(static_cast<std::size_t>(kTableWidth));
    }
    return row;
}

std::string BoardEndLine(const BoardState& board) {
    return board.port + " " + board.serial + " " + Ending(board);
}

std::string SummaryLine(const std::vector<BoardState>& boards, double seconds) {
    const auto programmed = std::count_if(boards.begin(), boards.end(), [](const BoardState& b) {
        return b.outcome == BoardOutcome::Success;
    });
    std::string line = Format("%d of %d boards programmed in %.1f s", static_cast<int>(programmed),
                              static_cast<int>(boards.size()), seconds);
    std::string failed;
    std::string stopped;
    for (const BoardState& board : boards) {
        std::string& list = board.outcome == BoardOutcome::Interrupted ? stopped : failed;
        if (board.outcome == BoardOutcome::Success) {
            continue;
        }
        list += (list.empty() ? "" : ", ") + board.port + " " + board.serial;
        if (board.outcome == BoardOutcome::Failure) {
            list += " " + (board.message.empty() ? std::string("failed") : board.message);
        }
    }
    if (!failed.empty()) {
        line += "; failed: " + failed;
    }
    if (!stopped.empty()) {
        line += "; stopped: " + stopped;
    }
    return line;
}

void GangTable::Show(const std::vector<BoardState>& boards,
                     std::chrono::steady_clock::time_point now) {
    if (!terminal_) {
        lineWritten_.resize(boards.size(), false);
        for (std::size_t i = 0; i < boards.size(); ++i) {
            if (boards[i].ended && !lineWritten_[i]) {
                lineWritten_[i] = true;
                std::fprintf(out_, "%s\n", BoardEndLine(boards[i]).c_str());
            }
        }
        std::fflush(out_);
        return;
    }
    const bool due = rowsDrawn_ == 0 ||
                     now - lastDrawing_ >= std::chrono::milliseconds(1000 / kRedrawsPerSecond);
    if (due || EndedCount(boards) != endedShown_) {
        Draw(boards, now);
    }
}

void GangTable::Finish(const std::vector<BoardState>& boards,
                       std::chrono::steady_clock::time_point now, double seconds) {
    if (terminal_) {
        Draw(boards, now);
    } else {
        Show(boards, now);
    }
    std::fprintf(out_, "%s\n", SummaryLine(boards, seconds).c_str());
    std::fflush(out_);
}

void GangTable::Draw(const std::vector<BoardState>& boards,
                     std::chrono::steady_clock::time_point now) {
    std::string text;
    if (rowsDrawn_ > 0) {
        text += Format("\x1b[%dA", rowsDrawn_);  // back to the first row
    }
    for (const BoardState& board : boards) {
        text += "\r" + BoardRow(board, now) + "\x1b[K\n";
    }
    // One write for the whole table, so that it never shows half redrawn.
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
    rowsDrawn_ = static_cast<int>(boards.size());
    endedShown_ = EndedCount(boards);
    lastDrawing_ = now;
}

bool CanDrawTable(std::FILE* stream) {
#ifdef _WIN32
    if (::_isatty(::_fileno(stream)) == 0) {
        return false;
    }
    HANDLE console = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    return ::GetConsoleMode(console, &mode) &&
           ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
#else
    return ::isatty(::fileno(stream)) != 0;
#endif
}

}  // namespace tarnel::cli
