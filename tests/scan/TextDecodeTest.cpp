#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include "scan/TextDecode.h"

namespace tarnel {
namespace {

using namespace std::string_literals;

// Runs an in-place decoder over a copy of input and returns the string it leaves; the
// decoder must return its argument.
std::string Decode(char* (*decoder)(char*), const std::string& input) {
    std::vector<char> buffer(input.begin(), input.end());
    buffer.push_back('\0');
    EXPECT_EQ(decoder(buffer.data()), buffer.data());
    return std::string(buffer.data());
}

struct DecodeCase {
    std::string input;
    std::string output;
};

TEST(StripQuotes, OneLeadingOpenAndOneTrailingCloseEachOnTheirOwn) {
    const DecodeCase cases[] = {
        {"\"abc\"", "abc"}, {"\"abc", "abc"},   {"abc\"", "abc"}, {"\"\"", ""},
        {"\"", ""},         {"", ""},           {"a\"b", "a\"b"}, {"\"a\"b\"", "a\"b"},
        {"\"\"\"", "\""},   {"'abc'", "'abc'"},
    };
    for (const DecodeCase& tc : cases) {
        EXPECT_EQ(Decode([](char* s) { return StripQuotes(s, '"', '"'); }, tc.input), tc.output)
            << tc.input;
    }
}

TEST(StripQuotes, DifferentOpenAndClose) {
    EXPECT_EQ(Decode([](char* s) { return StripQuotes(s, '[', ']'); }, "[x]"), "x");
    EXPECT_EQ(Decode([](char* s) { return StripQuotes(s, '[', ']'); }, "]x["), "]x[");
}

TEST(StripQuotes, ZeroAsOpenNeverPassesTheTerminator) {
    char buffer[4] = {'\0', 'x', 'y', '\0'};
    EXPECT_EQ(StripQuotes(buffer, '\0', '\0'), buffer);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'x');
}

TEST(DecodeEscapes, FiveEscapesAndEverythingElseUnchanged) {
    const DecodeCase cases[] = {
        {"a\\tb", "a\tb"},
        {"\\n\\r\\t\\\"\\'", "\n\r\t\"'"},
        {"a\\xb", "a\\xb"},
        {"\\\\n", "\\\n"},
        {"trailing\\", "trailing\\"},
        {"\\\\", "\\\\"},
        {"\\N", "\\N"},
        {"", ""},
    };
    for (const DecodeCase& tc : cases) {
        EXPECT_EQ(Decode(DecodeEscapes, tc.input), tc.output) << tc.input;
    }
}

TEST(DecodeCharRefs, DecimalAndHexReferencesToLowEightBits) {
    const DecodeCase cases[] = {
        {"&#65;&#66;", "AB"},
        {"x&#x41;y", "xAy"},
        {"&#X61;", "a"},
        {"&#65", "&#65"},
        {"&#321;", "A"},
        {"&# 65;", "A"},
        {"&#+65;", "A"},
        {"&#x0x41;", "A"},
        {"&#-1;", "&#-1;"},
        {"&#-191;", "A"},  // -191 & 0xFF is 0x41
        {"&#;", ""},
        {"&#x;rest", ""},  // 0, which ends the string
        {"&#65;", "A"},
        {"a&b&#c;&#66;", "a&b&#c;B"},
        {"&&#65;", "&A"},
        {"&#x4g;", "&#x4g;"},
        {"&#99999999999999999999999;", "\xff"},  // clamped to 0x7FFFFFFF
        {"&#-99999999999;x", ""},                // clamped to -0x80000000, whose low bits are 0
    };
    for (const DecodeCase& tc : cases) {
        EXPECT_EQ(Decode(DecodeCharRefs, tc.input), tc.output) << tc.input;
    }
}

struct CharRefCase {
    const char* text;
    int value;
    bool overflow;
};

TEST(CharRefValue, ReadsAsStrtolAndClampsToThirtyTwoBits) {
    const CharRefCase cases[] = {
        {"&#65;", 65, false},
        {"&#x41;", 0x41, false},
        {"&#X41;", 0x41, false},
        {"&#x0X41;", 0x41, false},
        {"&#0x41;", -1, false},  // base 10 stops at the x
        {"&# \t65;", 65, false},
        {"&#-5;", -5, false},
        {"&#;", 0, false},
        {"&#x;", 0, false},
        {"&#a;", -1, false},
        {"&65;", -1, false},
        {"#65;", -1, false},
        {"&#65", -1, false},
        {"&#65 ;", -1, false},
        {"&#2147483647;", INT_MAX, false},
        {"&#2147483648;", INT_MAX, true},
        {"&#x80000000;", INT_MAX, true},
        {"&#-2147483648;", INT_MIN, false},
        {"&#-2147483649;", INT_MIN, true},
        {"&#99999999999999999999999;", INT_MAX, true},
        {"&#-99999999999999999999999;", INT_MIN, true},
    };
    for (const CharRefCase& tc : cases) {
        errno = 0;
        EXPECT_EQ(CharRefValue(tc.text), tc.value) << tc.text;
        EXPECT_EQ(errno == ERANGE, tc.overflow) << tc.text;
    }
}

TEST(Prefixes, StartsWithSkipPrefixAndNoCase) {
    EXPECT_EQ(StartsWith("abc", "abcdef"), 1);
    EXPECT_EQ(StartsWith("abc", "ab"), 0);
    EXPECT_EQ(StartsWith("", "anything"), 1);
    EXPECT_EQ(StartsWith("", ""), 1);
    EXPECT_EQ(StartsWith("abc", "ABC"), 0);
    EXPECT_EQ(StartsWithNoCase("ABC", "abcdef"), 1);
    EXPECT_EQ(StartsWithNoCase("abc", "ABx"), 0);
    EXPECT_EQ(StartsWithNoCase("abc", "AB"), 0);
    EXPECT_EQ(StartsWithNoCase("\xe9", "\xe9"), 1);
    const char* text = "abc";
    EXPECT_EQ(SkipPrefix("ab", text), text + 2);
    EXPECT_EQ(SkipPrefix("", text), text);
    EXPECT_EQ(SkipPrefix("abc", text), text + 3);
    EXPECT_EQ(SkipPrefix("abcd", text), nullptr);
    EXPECT_EQ(SkipPrefix("b", text), nullptr);
}

TEST(FindValue, NamesIgnoringCaseNeverValues) {
    const std::string list = "href\0x\0TITLE\0y\0bare\0\0"s;
    const char* fallback = "fallback";
    EXPECT_STREQ(FindValue(list.c_str(), "title", fallback), "y");
    EXPECT_STREQ(FindValue(list.c_str(), "HREF", fallback), "x");
    const char* bare = FindValue(list.c_str(), "bare", fallback);
    EXPECT_NE(bare, fallback);
    EXPECT_STREQ(bare, "");
    EXPECT_EQ(FindValue(list.c_str(), "x", fallback), fallback);
    EXPECT_EQ(FindValue(list.c_str(), "titl", fallback), fallback);
    EXPECT_EQ(FindValue("", "x", fallback), fallback);
    EXPECT_EQ(FindValue("", "", nullptr), nullptr);
}

TEST(FindValue, FirstMatchingPairWins) {
    const std::string list =
        "a\0"
        "1\0A\0"
        "2\0\0"s;
    EXPECT_STREQ(FindValue(list.c_str(), "a", nullptr), "1");
}

}  // namespace
}  // namespace tarnel
