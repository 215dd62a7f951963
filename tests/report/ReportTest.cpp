#include <gtest/gtest.h>

#include <string>
#include <string_view>
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
    std::string detail;
};

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = SetMessageBoxService(
            [this](const char* text, const char* caption, int flags, std::string_view detail) {
                shown_.push_back({text, caption, flags, std::string(detail)});
                return kButtonOk;
            });
    }
    void TearDown() override { SetMessageBoxService(std::move(previous_)); }

    test::ProcessGlobalsScope globals_;
    std::vector<ShownBox> shown_;
    MessageBoxService previous_;
};

struct Row {
    MessageKey key;
    const char* name;
    const char* text;
    const char* caption;
    int code;
};

TEST_F(ReportTest, EveryKeyShowsItsTextCaptionAndStopIconAndSetsItsCode) {
    // Each key and its name, written out here rather than taken from the table.
    const Row rows[] = {
        {msg::ErrEICEcom, "ErrEICEcom", "EICE communication error", "EICE error", 1},
        {msg::ErrUplBoot, "ErrUplBoot", "Error uploading bootloader", "EICE error", 1},
        {msg::ErrMassErase, "ErrMassErase", "Mass erase error", "Programming error", 1},
        {msg::ErrPageProgram, "ErrPageProgram", "Page programming error", "Programming error", 1},
        {msg::ErrBootFile, "ErrBootFile", "Cannot read bootloader image", "File error", 2},
        {msg::ErrFlashFile, "ErrFlashFile", "Cannot read flash image", "File error", 2},
        {msg::ErrDravin, "ErrDravin", "Dravin not found!", "Generic error", 2},
        {msg::ErrInterrupted, "ErrInterrupted", "Programming interrupted", "Programming error",
         130},
        {msg::ErrCommandInterrupted, "ErrCommandInterrupted", "Target command interrupted",
         "EICE error", 130},
    };
    for (const auto& row : rows) {
        for (const bool byName : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (byName ? " by name" : " by key"));
            // A message of the other code first, so that the code seen is this row's.
            ReportError(row.code == 1 ? msg::ErrDravin : msg::ErrEICEcom, "before");
            shown_.clear();
            EXPECT_EQ(byName ? ReportError(row.name) : ReportError(row.key, "detail"), kButtonOk);
            ASSERT_EQ(shown_.size(), 1u);
            EXPECT_EQ(shown_[0].text, row.text);
            EXPECT_EQ(shown_[0].caption, row.caption);
            EXPECT_EQ(shown_[0].flags, 0x10);
            EXPECT_EQ(shown_[0].detail, byName ? "" : "detail");
            EXPECT_EQ(ExitCode(), row.code);
        }
    }
}

TEST_F(ReportTest, TableHasNineRowsInOrderThenAnEndRow) {
    const char* keys[] = {"ErrEICEcom",     "ErrUplBoot",     "ErrMassErase",
                          "ErrPageProgram", "ErrBootFile",    "ErrFlashFile",
                          "ErrDravin",      "ErrInterrupted", "ErrCommandInterrupted"};
    for (int i = 0; i < 9; ++i) {
        EXPECT_STREQ(reportList[i].key, keys[i]);
    }
    EXPECT_EQ(reportList[9].key, nullptr);
    EXPECT_EQ(reportList[9].text, nullptr);
    EXPECT_EQ(reportList[9].caption, nullptr);
    EXPECT_EQ(reportList[9].flags, 0);
    EXPECT_EQ(reportList[9].code, 0);
}

TEST_F(ReportTest, LastReportDecidesTheExitCode) {
    ReportError("ErrDravin");
    ReportError("ErrEICEcom");
    EXPECT_EQ(ExitCode(), 1);
    ReportError("ErrEICEcom");
    ReportError("ErrDravin");
    EXPECT_EQ(ExitCode(), 2);
}

TEST_F(ReportTest, WithoutABoxEachReportIsOneLineOnStandardError) {
    const struct {
        const char* name;
        bool quiet;
        bool service;
        const char* detail;
        const char* line;
    } cases[] = {
        {"quiet", true, true, "page 7", "tarnel: Mass erase error: page 7\n"},
        {"no service", false, false, "a\nb.rom: gone", "tarnel: Mass erase error: a?b.rom: gone\n"},
        {"no detail", true, true, "", "tarnel: Mass erase error\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetQuietMode(c.quiet);
        MessageBoxService installed = c.service ? nullptr : SetMessageBoxService(nullptr);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(ReportError(msg::ErrMassErase, c.detail), -1);
        ReportNote("a note");
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  std::string(c.line) + "tarnel: a note\n");
        if (!c.service) {
            SetMessageBoxService(std::move(installed));
        }
        EXPECT_TRUE(shown_.empty());
        EXPECT_EQ(ExitCode(), 1);
    }
    // With a box, neither the report nor the note goes to standard error.
    SetQuietMode(false);
    ::testing::internal::CaptureStderr();
    ReportError(msg::ErrDravin, "x");
    ReportNote("a note");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(ReportTest, KeysNotInTheTableChangeNothing) {
    ReportError(msg::ErrDravin);
    shown_.clear();
    for (const char* key : {"", "ErrEICE", "erreicecom", "ErrEICEcomX", " ErrDravin"}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(ReportError(key), -1);
        EXPECT_EQ(ExitCode(), 2);
    }
    EXPECT_EQ(ReportError(nullptr), -1);
    EXPECT_TRUE(shown_.empty());
}

}  // namespace
}  // namespace tarnel
