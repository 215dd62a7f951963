// How progress reads: numbers and times as people write them, and a stage line that keeps
// its most useful parts on a narrow terminal without ever reaching its last column.

#include <gtest/gtest.h>

#include <string>

#include "program/ProgressText.h"

namespace tarnel {
namespace {

TEST(ProgressText, NumbersAndDurations) {
    EXPECT_EQ(GroupedNumber(0), "0");
    EXPECT_EQ(GroupedNumber(999), "999");
    EXPECT_EQ(GroupedNumber(1000), "1,000");
    EXPECT_EQ(GroupedNumber(32768), "32,768");
    EXPECT_EQ(GroupedNumber(1234567), "1,234,567");
    EXPECT_EQ(DurationText(0.04), "0.0 s");
    EXPECT_EQ(DurationText(2.94), "2.9 s");
    EXPECT_EQ(DurationText(59.96), "1 m 00 s");
    EXPECT_EQ(DurationText(125), "2 m 05 s");
    EXPECT_EQ(ProgressBar(0, 4, 6), "[    ]");
    EXPECT_EQ(ProgressBar(2, 4, 6), "[==> ]");
    EXPECT_EQ(ProgressBar(4, 4, 6), "[====]");
}

TEST(ProgressText, AStageLineFitsItsWidthAndDropsTheLeastUsefulPartsFirst) {
    // Half the pages in 2 s: 256 words a page, 8,192 words/s, as long again to go.
    const StageStanding flashing{ProgramStage::Flashing, 64, 128, 2.0};
    struct Case {
        int columns;
        std::vector<std::string> shown;
        std::vector<std::string> left;  // parts that must be gone
    };
    const Case cases[] = {
        {80, {"flash ", "[=", " 50%", "64/128 pages", "8,192 words/s", "2.0 s", "2.0 s left"}, {}},
        {60, {"flash ", " 50%", "64/128 pages", "2.0 s  2.0 s left"}, {"[", "words/s"}},
        {38, {"flash ", " 50%", "64/128 pages", "2.0 s"}, {"[", "left", "words/s"}},
        {24, {"flash ", " 50%", "2.0 s"}, {"[", "left", "pages"}},
        {8, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.columns);
        const std::string line = ProgressLine(flashing, c.columns);
        EXPECT_LT(line.size(), static_cast<std::size_t>(c.columns)) << line;
        for (const std::string& part : c.shown) {
            EXPECT_NE(line.find(part), std::string::npos) << part << " in " << line;
        }
        for (const std::string& part : c.left) {
            EXPECT_EQ(line.find(part), std::string::npos) << part << " in " << line;
        }
    }
    // The erase has no count; the upload counts words and gives no estimate.
    EXPECT_EQ(ProgressLine({ProgramStage::Erasing, 0, 0, 0.3}, 80), "erase       0.3 s");
    const std::string upload =
        ProgressLine({ProgramStage::PreparingBootloader, 1024, 2048, 0.5}, 80);
    EXPECT_NE(upload.find("1,024/2,048 words  2,048 words/s  0.5 s"), std::string::npos) << upload;
    EXPECT_EQ(upload.find("left"), std::string::npos) << upload;
}

TEST(ProgressText, PercentStepsMoveAtANewPercentageAndAtTheEnd) {
    PercentSteps steps;
    steps.Restart(999);
    int moves = 0;
    for (int position = 0; position <= 999; ++position) {
        moves += steps.Moves(position) ? 1 : 0;
    }
    EXPECT_EQ(moves, 101);  // 0% to 99%, then 100% at the last position
    EXPECT_EQ(steps.percent(), 100);
}

}  // namespace
}  // namespace tarnel
