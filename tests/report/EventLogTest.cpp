// The event log as a script reads it: one line per event, appended, with escaped texts.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "report/EventLog.h"
#include "report/MessageKeys.h"
#include "report/Report.h"
#include "support/Portable.h"

namespace tarnel {
namespace {

TEST(EventLogTest, AppendsOneParsableLinePerEventOnlyWhenAsked) {
    const std::filesystem::path log = std::filesystem::temp_directory_path() /
                                      ("tarnel-log-" + std::to_string(test::ProcessId()));
    std::filesystem::remove(log);
    SetQuietMode(true);

    test::UnsetEnvironment("TARNEL_LOG");
    ReportError(msg::ErrDravin);
    EXPECT_FALSE(std::filesystem::exists(log));

    test::SetEnvironment("TARNEL_LOG", log.string());
    LogProgramStart("a \"b\"\\c\nd.rom", 3, 12);
    ReportError(msg::ErrPageProgram, "page \"7\"");
    LogProgramEnd(RequestOutcome::Failed, 0.25, ExitCode());
    // A stop's own exit code goes into its message line and the end line.
    ReportStop({msg::ErrInterrupted, "stopped"}, 143);
    LogProgramEnd(RequestOutcome::Interrupted, 0.5, ExitCode(), "pages:0..4");
    LogProgramStart("x.rom", -1, -1);
    test::UnsetEnvironment("TARNEL_LOG");
    ResetReportState();

    std::vector<std::string> lines;
    {
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
    }  // closed first: Windows refuses to remove an open file
    std::filesystem::remove(log);
    const std::string stamp = R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z pid=\d+ )";
    const std::vector<std::string> expected = {
        R"(start image="a \\"b\\"\\\\c\\x0Ad\.rom" pages=3 beyond=12$)",
        R"(message key=ErrPageProgram text="Page programming error" caption="Programming error" exit=1 detail="page \\"7\\""$)",
        R"(end outcome=failure seconds=0\.250 exit=1$)",
        R"(message key=ErrInterrupted text="Programming interrupted" caption="Programming error" exit=143 detail="stopped"$)",
        R"(end outcome=interrupted seconds=0\.500 exit=143 flash=pages:0\.\.4$)",
        R"(start image="x\.rom" pages=- beyond=-$)",
    };
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(std::regex_search(lines[i], std::regex(stamp + expected[i]))) << lines[i];
    }
}

}  // namespace
}  // namespace tarnel
