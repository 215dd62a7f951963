#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "sim/Faults.h"

namespace tarnel::sim {
namespace {

TEST(ParseFaults, EmptyListMeansNoFault) {
    EXPECT_EQ(ParseFaults(""), Faults{});
    EXPECT_EQ(ParseFaults(" , ,"), Faults{});
}

TEST(ParseFaults, EveryTokenSetsItsField) {
    const auto faults = ParseFaults(
        "no-adapter,foreign-first,open-fails,silent-probe=2,write-error=7,short-write=8,"
        "short-read=9,read-error=10,busy-polls=0,erase-busy,erase-error,page-error=127");
    ASSERT_TRUE(faults.has_value());
    EXPECT_TRUE(faults->noAdapter);
    EXPECT_TRUE(faults->foreignFirst);
    EXPECT_TRUE(faults->openFails);
    EXPECT_EQ(faults->silentProbes, 2u);
    EXPECT_EQ(faults->writeError, 7u);
    EXPECT_EQ(faults->shortWrite, 8u);
    EXPECT_EQ(faults->shortRead, 9u);
    EXPECT_EQ(faults->readError, 10u);
    EXPECT_EQ(faults->busyPolls, 0u);
    EXPECT_TRUE(faults->eraseBusy);
    EXPECT_TRUE(faults->eraseError);
    EXPECT_EQ(faults->pageError, 127u);
}

TEST(ParseFaults, BlanksAroundTokensAreAllowed) {
    const auto faults = ParseFaults(" busy-polls=3 ,\tpage-error=0 ");
    ASSERT_TRUE(faults.has_value());
    EXPECT_EQ(faults->busyPolls, 3u);
    EXPECT_EQ(faults->pageError, 0u);
}

// A mistyped fault must never pass as a run without faults.
TEST(ParseFaults, MalformedListsAreRefusedWithTheReason) {
    struct Case {
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
        {"silent-probes=1", "unknown fault"},
        {"no-adapter,bogus", "unknown fault"},
        {"silent-probe", "needs a decimal number"},
        {"write-error=", "needs a decimal number"},
        {"read-error=x", "needs a decimal number"},
        {"busy-polls=-1", "needs a decimal number"},
        {"short-read=1e3", "needs a decimal number"},
        {"short-write=9999999999", "needs a decimal number"},
        {"write-error=0", "counts from 1"},
        {"silent-probe=0", "counts from 1"},
        {"page-error=128", "outside 0..127"},
        {"no-adapter=1", "takes no value"},
        {"short-read=1,short-read=2", "given twice"},
        {"erase-busy,erase-busy", "given twice"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseFaults(c.text, &error).has_value()) << c.text;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.text << ": " << error;
    }
}

// The fault table of ARCHITECTURE.md is where a newcomer looks: it must name exactly the
// faults of the table in the code, each with a token that parses.
TEST(FaultTable, ArchitectureDocumentListsEveryFault) {
    std::ifstream document(std::string(TARNEL_SOURCE_DIR) + "/ARCHITECTURE.md");
    ASSERT_TRUE(document.is_open());
    std::set<std::string> documented;
    bool inFaults = false;
    for (std::string line; std::getline(document, line);) {
        if (line.rfind("## ", 0) == 0) {
            inFaults = line == "## Faults";
        } else if (inFaults && line.rfind("| `", 0) == 0) {
            std::string token = line.substr(3, line.find('`', 3) - 3);
            const auto eq = token.find('=');
            if (eq != std::string::npos) {
                token = token.substr(0, eq) + "=1";
            }
            std::string error;
            EXPECT_TRUE(ParseFaults(token, &error).has_value()) << token << ": " << error;
            documented.insert(token.substr(0, eq));
        }
    }
    std::set<std::string> defined;
    for (const FaultDefinition& fault : FaultTable()) {
        defined.insert(std::string(fault.name));
    }
    EXPECT_EQ(documented, defined);
}

}  // namespace
}  // namespace tarnel::sim
