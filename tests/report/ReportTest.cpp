#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/MessageKeys.h"
#include "report/Report.h"
#include "support/ProcessGlobals.h"

namespace tarnel {
namespace {

struct ShownBox {
    std::string text;
    std::string caption;
    std::int32_t flags;
};

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = SetMessageBoxService([this](const char* text, const char* caption, int flags) {
            shown_.push_back({text, caption, flags});
            return kButtonOk;
        });
    }
    void TearDown() override { SetMessageBoxService(std::move(previous_)); }

    test::ProcessGlobalsScope globals_;
    std::vector<ShownBox> shown_;
    MessageBoxService previous_;
};

struct Row {
    const char* key;
    const char* text;
    const char* caption;
    int code;
};

TEST_F(ReportTest, EveryKeyShowsItsTextCaptionAndStopIconAndSetsItsCode) {
    // The named keys that the tool reports by, each a row of the table.
    const Row rows[] = {
        {msg::ErrEICEcom, "EICE communication error", "EICE error", 1},
        {msg::ErrUplBoot, "Error uploading bootloader", "EICE error", 1},
        {msg::ErrMassErase, "Mass erase error", "Programming error", 1},
        {msg::ErrPageProgram, "Page programming error", "Programming error", 1},
        {msg::ErrBootFile, "Cannot read bootloader image", "File error", 2},
        {msg::ErrFlashFile, "Cannot read flash image", "File error", 2},
        {msg::ErrDravin, "Dravin not found!", "Generic error", 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        shown_.clear();
        exitCode = 77;
        EXPECT_EQ(ReportError(row.key), kButtonOk);
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].text, row.text);
        EXPECT_EQ(shown_[0].caption, row.caption);
        EXPECT_EQ(shown_[0].flags, 0x10);
        EXPECT_EQ(exitCode, row.code);
    }
}

TEST_F(ReportTest, TableHasSevenRowsInOrderThenAnEndRow) {
    const char* keys[] = {"ErrEICEcom",  "ErrUplBoot",   "ErrMassErase", "ErrPageProgram",
                          "ErrBootFile", "ErrFlashFile", "ErrDravin"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_STREQ(reportList[i].key, keys[i]);
    }
    EXPECT_EQ(reportList[7].key, nullptr);
    EXPECT_EQ(reportList[7].text, nullptr);
    EXPECT_EQ(reportList[7].caption, nullptr);
    EXPECT_EQ(reportList[7].flags, 0);
    EXPECT_EQ(reportList[7].code, 0);
}

TEST_F(ReportTest, LastReportDecidesTheExitCode) {
    ReportError("ErrDravin");
    ReportError("ErrEICEcom");
    EXPECT_EQ(exitCode, 1);
    ReportError("ErrEICEcom");
    ReportError("ErrDravin");
    EXPECT_EQ(exitCode, 2);
}

TEST_F(ReportTest, QuietModeShowsNothingButSetsTheCode) {
    quietMode = 1;
    EXPECT_EQ(ReportError("ErrMassErase"), -1);
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(exitCode, 1);
}

TEST_F(ReportTest, KeysNotInTheTableChangeNothing) {
    exitCode = 2;
    for (const char* key : {"", "ErrEICE", "erreicecom", "ErrEICEcomX", " ErrDravin"}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(ReportError(key), -1);
        EXPECT_EQ(exitCode, 2);
    }
    EXPECT_EQ(ReportError(nullptr), -1);
    EXPECT_TRUE(shown_.empty());
}

}  // namespace
}  // namespace tarnel
