// The event log as a script reads it: one line per event, appended, with escaped texts.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

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
    LogProgramStart("a \"b\"\\c\nd.rom",
                    {.pages = 3, .wordsBeyond = 12, .malformed = 2, .crc32 = 0x0A1B2C3D});
    ReportError(msg::ErrPageProgram, "page \"7\"");
    LogProgramEnd(false, 0.25, ExitCode());
    LogProgramStart("x.rom", {});
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
        R"(start image="a \\"b\\"\\\\c\\x0Ad\.rom" pages=3 beyond=12 malformed=2 crc32=0A1B2C3D$)",
        R"(message key=ErrPageProgram text="Page programming error" caption="Programming error" exit=1 detail="page \\"7\\""$)",
        R"(end outcome=failure seconds=0\.250 exit=1$)",
        R"(start image="x\.rom" pages=- beyond=- malformed=- crc32=-$)",
    };
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(std::regex_search(lines[i], std::regex(stamp + expected[i]))) << lines[i];
    }
}

TEST(EventLogTest, TextsAreEscapedWhereTheyAreNotUtf8AndShortenedInTheMiddle) {
    const struct {
        std::string text;
        std::string quoted;
    } cases[] = {
        {"caf\xC3\xA9 \xE2\x82\xAC", "\"caf\xC3\xA9 \xE2\x82\xAC\""},  // kept as it is
        {"a\xFF\xC3(b", R"("a\xFF\xC3(b")"},                           // stray bytes
        {"\xC0\xAF\xED\xA0\x80", R"("\xC0\xAF\xED\xA0\x80")"},         // overlong, surrogate
        {"\xF0\x9F\x98", R"("\xF0\x9F\x98")"},                         // cut by the end
    };
    for (const auto& tc : cases) {
        EXPECT_EQ(QuoteLogText(tc.text), tc.quoted);
    }
    const std::string name = "/start" + std::string(5000, 'x') + "\xC3\xA9" + "end.rom";
    const std::string quoted = QuoteLogText(name);
    EXPECT_LT(quoted.size(), 1400u);
    EXPECT_EQ(quoted.rfind("\"/start", 0), 0u) << quoted;
    EXPECT_NE(quoted.find("x...x"), std::string::npos) << quoted;
    EXPECT_EQ(quoted.substr(quoted.size() - 10),
              "\xC3\xA9"
              "end.rom\"");
}

TEST(EventLogTest, ALogThatCannotBeWrittenIsRefusedAtTheStartAndSaidOnceLater) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("tarnel-log-dir-" + std::to_string(test::ProcessId()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "folder");
    std::vector<std::pair<std::string, std::string>> refused = {
        {(dir / "missing" / "log").string(), "No such file or directory"},
        {(dir / "folder").string(), ""},
    };
#ifndef _WIN32
    std::ofstream(dir / "target") << "";
    std::filesystem::create_symlink(dir / "target", dir / "link");
    refused.emplace_back((dir / "link").string(), "is a symbolic link");
    refused.emplace_back("/dev/full", "is not a regular file");
#endif
    for (const auto& [path, reason] : refused) {
        SCOPED_TRACE(path);
        test::SetEnvironment("TARNEL_LOG", path);
        const std::string why = CheckEventLog();
        EXPECT_EQ(why.rfind(path + ": " + reason, 0), 0u) << why;
    }
    test::SetEnvironment("TARNEL_LOG", "-");
    EXPECT_EQ(CheckEventLog(), "");
    const std::filesystem::path log = dir / "gone" / "log";
    std::filesystem::create_directories(log.parent_path());
    test::SetEnvironment("TARNEL_LOG", log.string());
    EXPECT_EQ(CheckEventLog(), "");

    // The folder goes away during the run: said once, and the run goes on.
    std::filesystem::remove_all(log.parent_path());
    ResetReportState();
    ::testing::internal::CaptureStderr();
    LogProgramStart("a.rom", {});
    LogProgramEnd(true, 1.0, 0);
    const std::string said = ::testing::internal::GetCapturedStderr();
    test::UnsetEnvironment("TARNEL_LOG");
    EXPECT_EQ(said, "tarnel: The event log is incomplete: " + log.string() +
                        ": No such file or directory\n");
    EXPECT_EQ(ExitCode(), 0);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

#ifndef _WIN32
TEST(EventLogTest, ProcessesSharingOnePipeWriteWholeLines) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    constexpr int kProcesses = 8;
    constexpr int kLines = 10;
    // Longer than a pipe holds: written as it is, a line would go in pieces.
    const std::string name(100000, 'n');
    for (int p = 0; p < kProcesses; ++p) {
        if (::fork() == 0) {
            ::close(fds[0]);
            ::dup2(fds[1], STDERR_FILENO);
            ::setenv("TARNEL_LOG", "-", 1);
            for (int i = 0; i < kLines; ++i) {
                LogProgramStart(name, {});
            }
            ::_exit(0);
        }
    }
    ::close(fds[1]);
    std::string all;
    char buffer[65536];
    for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        all.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fds[0]);
    while (::wait(nullptr) > 0) {
    }
    const std::regex stamp(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z pid=\d+ start image="n)");
    const std::string tail = "\" pages=- beyond=- malformed=- crc32=-";
    int lines = 0;
    std::size_t from = 0;
    for (std::size_t end; (end = all.find('\n', from)) != std::string::npos; from = end + 1) {
        ++lines;
        const std::string line = all.substr(from, end - from);
        // The stamp, the image's name (n..., cut in the middle) and the fields after it.
        const std::size_t image = line.find('"');
        std::string name = image == std::string::npos || line.size() < image + 1 + tail.size()
                               ? std::string()
                               : line.substr(image + 1, line.size() - image - 1 - tail.size());
        if (const std::size_t cut = name.find("..."); cut != std::string::npos) {
            name.erase(cut, 3);
        }
        const bool whole = !name.empty() && std::regex_search(line.substr(0, image + 2), stamp) &&
                           line.compare(line.size() - tail.size(), tail.size(), tail) == 0 &&
                           name.find_first_not_of('n') == std::string::npos;
        EXPECT_TRUE(whole) << line.substr(0, 120);
        EXPECT_LT(line.size(), 4096u);
    }
    EXPECT_EQ(lines, kProcesses * kLines);
}
#endif

}  // namespace
}  // namespace tarnel
