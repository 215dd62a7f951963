// The gang's own parts: what a child says reaches its board whole, and the table and
// summary a person reads.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/gang/GangProtocol.h"
#include "cli/gang/GangTable.h"

namespace tarnel::cli {
namespace {

// What a child's reporter writes, as the parent reads it.
std::vector<std::string> Written(const auto& write) {
    std::FILE* file = std::tmpfile();
    GangChildReporter reporter(file);
    write(reporter);
    std::rewind(file);
    std::vector<std::string> lines;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, file) != nullptr) {
        std::string line(buffer);
        EXPECT_EQ(line.back(), '\n');
        line.pop_back();
        lines.push_back(line);
    }
    std::fclose(file);
    return lines;
}

TEST(GangProtocol, WhatAChildTellsReachesItsBoardWhole) {
    const auto lines = Written([](GangChildReporter& child) {
        child.StageBegins(ProgramStage::PreparingBootloader);
        child.ProgressRange(1999);
        for (int i = 0; i <= 1999; ++i) {
            child.ProgressAt(i);
        }
        child.StageBegins(ProgramStage::Erasing);
        child.StageBegins(ProgramStage::Flashing);
        child.ProgressRange(127);  // 128 pages: fewer percents than pages
        for (int page = 0; page < 4; ++page) {
            child.ProgressAt(page);
        }
        // A detail with a quote, a backslash and a line end must not end the line.
        child.Failed(Failure{msg::ErrPageProgram, "page \"4\"\\\nagain"});
        child.End(BoardOutcome::Failure, 1);
    });
    // One line per percent of the upload, not per word.
    EXPECT_EQ(lines.size(), 1u + 101u + 2u + 4u + 2u);

    BoardState board;
    for (const std::string& line : lines) {
        ApplyChildLine(board, line);
    }
    EXPECT_EQ(board.stage, "flash");
    EXPECT_EQ(board.pages, 4);
    EXPECT_EQ(board.message, "Page programming error");
    EXPECT_EQ(board.detail, "page \"4\"\\\nagain");
    EXPECT_EQ(board.outcome, BoardOutcome::Failure);
    EXPECT_EQ(BoardFlash(board), FlashState::PartlyProgrammed);
    EXPECT_EQ(board.lastOtherLine, "");
}

TEST(GangProtocol, LinesThatAreNotTheProtocolChangeNothingButAreKept) {
    for (const char* line : {"tarnel-cli: Dravin not found!: no adapter", "end outcome=\"success",
                             "end outcome=\"success\"x", "stage name", "progress =3"}) {
        SCOPED_TRACE(line);
        BoardState board;
        ApplyChildLine(board, line);
        EXPECT_EQ(board.outcome, BoardOutcome::Running);
        EXPECT_EQ(board.stage, "");
        EXPECT_EQ(board.lastOtherLine, line);
    }
}

BoardState Board(const char* port, const char* serial, BoardOutcome outcome,
                 const char* message = "", const char* detail = "") {
    BoardState board;
    board.port = port;
    board.serial = serial;
    board.outcome = outcome;
    board.ended = outcome != BoardOutcome::Running;
    board.message = message;
    board.detail = detail;
    board.stage = "flash";
    board.percent = 45;
    return board;
}

TEST(GangTable, EveryRowFitsTheTerminalWhateverItHolds) {
    const std::string longText(200, 'x');
    const BoardState boards[] = {
        Board("1-2", "EMU00002", BoardOutcome::Running),
        Board("1-4.2.3.1.7", "A-VERY-LONG-SERIAL", BoardOutcome::Running),
        Board("1-3", "EMU00003", BoardOutcome::Failure, "Mass erase error", longText.c_str()),
        Board("1-5", "EMU00005", BoardOutcome::Success),
        Board("1-6", "EMU00006", BoardOutcome::Interrupted),
    };
    for (const BoardState& board : boards) {
        const std::string row = BoardRow(board, {});
        SCOPED_TRACE(row);
        EXPECT_LE(row.size(), static_cast<std::size_t>(kTableWidth));
        EXPECT_EQ(row.find('\n'), std::string::npos);
    }
    EXPECT_NE(BoardRow(boards[0], {}).find("flash      [#########           ]  45%"),
              std::string::npos);
    EXPECT_NE(BoardRow(boards[2], {}).find("failed: Mass erase error: xxx"), std::string::npos);
}

TEST(GangTable, TheSummaryNamesEveryBoardThatFailedOrStopped) {
    const std::vector<BoardState> boards = {
        Board("1-1", "EMU00001", BoardOutcome::Success),
        Board("1-2", "EMU00002", BoardOutcome::Failure, "Mass erase error", "answer 2"),
        Board("1-3", "EMU00003", BoardOutcome::Interrupted),
        Board("1-4", "EMU00004", BoardOutcome::Failure, "Dravin not found!"),
    };
    EXPECT_EQ(SummaryLine(boards, 3.44),
              "1 of 4 boards programmed in 3.4 s; failed: 1-2 EMU00002 Mass erase error, "
              "1-4 EMU00004 Dravin not found!; stopped: 1-3 EMU00003");
    EXPECT_EQ(SummaryLine({boards[0]}, 1.0), "1 of 1 boards programmed in 1.0 s");
}

}  // namespace
}  // namespace tarnel::cli
