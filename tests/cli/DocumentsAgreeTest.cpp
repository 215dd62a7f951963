// tarnel-cli's usage, its manual page and the README's section on it name the same
// options, bootloader places, environment variables and exit codes: a change to one that
// the others miss fails here.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "cli/CliOptions.h"
#include "platform/BootloaderPlaces.h"

namespace tarnel::test {
namespace {

std::string ReadSource(const std::string& path) {
    std::ifstream file(std::string(TARNEL_SOURCE_DIR) + "/" + path);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_TRUE(file.is_open()) << path;
    return text.str();
}

// A manual page as plain text: "\-" is "-", font changes are dropped.
std::string ManualText(const std::string& path) {
    const std::string source = ReadSource(path);
    return std::regex_replace(std::regex_replace(source, std::regex(R"(\\-)"), "-"),
                              std::regex(R"(\\f[BIRP])"), "");
}

// The part of `text` from the line that starts with `heading` to the next heading of the
// same kind (a line starting with `level`).
std::string Section(const std::string& text, const std::string& heading, const std::string& level) {
    const std::size_t start = text.find("\n" + heading);
    EXPECT_NE(start, std::string::npos) << heading;
    if (start == std::string::npos) {
        return {};
    }
    const std::size_t end = text.find("\n" + level, start + 1 + heading.size());
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::set<std::string> Matches(const std::string& text, const std::string& pattern, int group = 0) {
    std::set<std::string> found;
    const std::regex expression(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), expression);
         it != std::sregex_iterator(); ++it) {
        found.insert((*it)[group].str());
    }
    return found;
}

class CliDocuments : public ::testing::Test {
protected:
    const std::string usage = cli::CliUsage();
    const std::string manual = ManualText("packaging/tarnel-cli.1.in");
    const std::string readme = ReadSource("README.md");
    const std::string readmeCli = Section(readme, "## The command-line programmer", "## ");
};

TEST_F(CliDocuments, NameEveryOptionOfTheGrammar) {
    std::vector<std::string> names = ToolOptionNames(cli::kCliOptions);
    names.emplace_back("--");
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        // Whole: "-a" inside "tarnel-adapters" does not count.
        const std::regex whole("(^|[^\\w-])" + name + "($|[^\\w-])");
        EXPECT_TRUE(std::regex_search(Section(manual, ".SH OPTIONS", ".SH"), whole));
        EXPECT_TRUE(std::regex_search(readmeCli, whole));
    }
}

TEST_F(CliDocuments, NameTheSameEnvironmentAndExitCodes) {
    const std::string variable = "TARNEL_[A-Z0-9_]+";
    const std::set<std::string> variables = Matches(Section(usage, "Environment:", "\n"), variable);
    EXPECT_EQ(Matches(Section(manual, ".SH ENVIRONMENT", ".SH"), "\\.B (" + variable + ")", 1),
              variables);
    EXPECT_EQ(Matches(readmeCli, variable), variables);

    const std::set<std::string> codes =
        Matches(Section(usage, "Exit status:", "\n"), "\n  (\\d+) ", 1);
    EXPECT_EQ(codes.size(), 4u) << usage;
    EXPECT_EQ(Matches(Section(manual, ".SH EXIT STATUS", ".SH"), "\n\\.B (\\d+)\n", 1), codes);
    EXPECT_EQ(Matches(readmeCli, "\n\\| (\\d+) \\|", 1), codes);
}

TEST_F(CliDocuments, PutTheBootloaderWhereTheToolLooksForIt) {
    // Every place the tool searches is named, and no file of that name anywhere else.
    std::set<std::string> places;
    for (const std::string& place : BootloaderPlaceNames()) {
        for (const std::string& path : Matches(place, "[^\\s()]*/[^\\s()]*")) {
            places.insert(path);
            EXPECT_NE(manual.find(path), std::string::npos) << path;
        }
    }
    EXPECT_NE(manual.find("flash.ram beside the executable"), std::string::npos);
    for (const std::string& named : Matches(manual + readmeCli, "[^\\s()`]*/flash\\.ram")) {
        EXPECT_EQ(places.count(named), 1u) << named << " is not searched";
    }
}

}  // namespace
}  // namespace tarnel::test
