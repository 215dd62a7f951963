#include <gtest/gtest.h>

#include <QLineEdit>

#include "WindowParts.h"
#include "app/CommandLine.h"
#include "app/Mainform.h"
#include "report/Report.h"
#include "support/ProcessGlobals.h"

namespace tarnel {
namespace {

struct CommandLineCase {
    std::vector<std::string> arguments;
    bool close;
    bool quiet;
    bool program;
    const char* fileName;  // null: none given
    const char* adapter = nullptr;
};

TEST(CommandLine, ReadsWholeCaseSensitiveArgumentsAndTheLastFileNameWins) {
    const CommandLineCase cases[] = {
        {{}, false, false, false, nullptr},
        {{"a.rom", "b.rom"}, false, false, false, "b.rom"},
        {{"-C"}, false, false, false, "-C"},
        {{"/c"}, false, false, false, "/c"},
        {{"-P", "x.rom"}, false, false, false, "x.rom"},
        {{"-c"}, true, false, false, nullptr},
        {{"-cc"}, true, true, false, nullptr},
        {{"-c", "-cc"}, true, true, false, nullptr},
        {{"-cc", "-c"}, true, true, false, nullptr},
        {{"-p", "-p"}, false, false, true, nullptr},
        {{"-p", "img.rom", "-cc"}, true, true, true, "img.rom"},
        {{"-ccc"}, false, false, false, "-ccc"},
        {{"-c "}, false, false, false, "-c "},
        {{""}, false, false, false, ""},
        {{"--adapter", "1-2", "-p", "a.rom"}, false, false, true, "a.rom", "1-2"},
        {{"--adapter=A", "--adapter", "B", "a.rom"}, false, false, false, "a.rom", "B"},
        {{"a.rom", "--adapter"}, false, false, false, "--adapter"},
        {{"--adapter=", "--adapter", ""}, false, false, false, ""},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& a : c.arguments) {
            joined += "[" + a + "]";
        }
        SCOPED_TRACE(joined);
        const CommandLineOptions options = ParseCommandLine(c.arguments);
        EXPECT_EQ(options.closeAfterProgram, c.close);
        EXPECT_EQ(options.quiet, c.quiet);
        EXPECT_EQ(options.programAtStart, c.program);
        ASSERT_EQ(options.fileName.has_value(), c.fileName != nullptr);
        if (c.fileName != nullptr) {
            EXPECT_EQ(*options.fileName, c.fileName);
        }
        EXPECT_EQ(options.adapter.value_or("(none)"), c.adapter ? c.adapter : "(none)");
    }
}

class MainformCommandLine : public ::testing::Test {
protected:
    test::ProcessGlobalsScope globals_;
};

TEST_F(MainformCommandLine, FlagsAndFileBoxFollowTheArguments) {
    TFmainform window(nullptr, ParseCommandLine({"-c", "first.rom", "-X", "second.rom"}));
    EXPECT_EQ(window.closeAfterProgram(), 1);
    EXPECT_EQ(window.programAtStart(), 0);
    EXPECT_EQ(Efilename(window)->text(), "second.rom");
}

TEST_F(MainformCommandLine, QuietOptionClosesAfterProgramming) {
    TFmainform window(nullptr, ParseCommandLine({"-cc", "-p"}));
    EXPECT_EQ(window.closeAfterProgram(), 1);
    EXPECT_EQ(window.programAtStart(), 1);
    EXPECT_TRUE(Efilename(window)->text().isEmpty());
}

TEST_F(MainformCommandLine, NoArgumentsLeaveEverythingOff) {
    TFmainform window(nullptr, {});
    EXPECT_EQ(window.closeAfterProgram(), 0);
    EXPECT_EQ(window.programAtStart(), 0);
    EXPECT_TRUE(Efilename(window)->text().isEmpty());
}

}  // namespace
}  // namespace tarnel
