#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "ScanTestSupport.h"
#include "scan/TextScanner.h"

namespace tarnel {
namespace {

using namespace std::string_literals;
using testing::ForEachShape;

// One call of a token reader, in both families: what it returns, the bytes it leaves at the
// start of out (terminators included), what stays unread, and the ScanError it leaves.
struct TokenCase {
    std::string input;
    int count;
    int result;
    std::string written;  // exact bytes at the start of out; nothing beyond count changes
    std::string rest;
    int scanError = 0;
};

using StreamReader = std::function<int(char*, int, ByteStream&)>;
using StringReader = std::function<int(char*, int, const char*&)>;

constexpr char kGuard = '#';
constexpr int kGuardBytes = 8;

// A buffer of count bytes between guard bytes; checks what the reader wrote there.
class GuardedOut {
public:
    explicit GuardedOut(int count)
        : count_(count > 0 ? count : 0), bytes_(count_ + 2 * kGuardBytes, kGuard) {}
    char* Out() { return bytes_.data() + kGuardBytes; }
    void Check(const std::string& written) const {
        ASSERT_LE(written.size(), count_);
        EXPECT_EQ(std::string(bytes_.data() + kGuardBytes, written.size()), written);
        for (int i = 0; i < kGuardBytes; ++i) {
            EXPECT_EQ(bytes_[i], kGuard) << "byte before out";
            EXPECT_EQ(bytes_[kGuardBytes + count_ + i], kGuard) << "byte behind count";
        }
    }

private:
    std::size_t count_;
    std::vector<char> bytes_;
};

std::string Rest(ByteStream& s) {
    std::string rest;
    for (int c; (c = s.Get()) >= 0;) {
        rest.push_back(static_cast<char>(c));
    }
    return rest;
}

void RunStream(const TokenCase& tc, const StreamReader& read, StreamMode mode) {
    ForEachShape(tc.input, mode, [&](ByteStream& s) {
        GuardedOut out(tc.count);
        ScanError = 0;
        EXPECT_EQ(read(out.Out(), tc.count, s), tc.result);
        EXPECT_EQ(ScanError, tc.scanError);
        out.Check(tc.written);
        EXPECT_EQ(Rest(s), tc.rest);
    });
}

void RunString(const TokenCase& tc, const StringReader& read) {
    SCOPED_TRACE("string");
    GuardedOut out(tc.count);
    const char* cursor = tc.input.c_str();
    ScanError = 0;
    EXPECT_EQ(read(out.Out(), tc.count, cursor), tc.result);
    EXPECT_EQ(ScanError, tc.scanError);
    out.Check(tc.written);
    EXPECT_EQ(std::string(cursor), tc.rest);
}

// Every case through the stream scanner and, when the input holds no zero byte (the string
// scanners' end), through the string scanner too: the families must agree.
void RunBoth(const std::vector<TokenCase>& cases, const StreamReader& stream,
             const StringReader& string) {
    for (const TokenCase& tc : cases) {
        SCOPED_TRACE("input: " + tc.input + ", count " + std::to_string(tc.count));
        RunStream(tc, stream, StreamMode::Binary);
        if (tc.input.find('\0') == std::string::npos) {
            RunString(tc, string);
        }
    }
}

TEST(ReadIdentifier, LettersOrFirstThenLettersDigitsOrRest) {
    RunBoth(
        {
            {"!DOCTYPE html", 32, 8, "!DOCTYPE\0"s, " html"},
            {"/p>", 32, 2, "/p\0"s, ">"},
            {"a_1 ", 32, 3, "a_1\0"s, " "},
            {"1a", 32, 0, "\0"s, "1a"},
            {"abc-", 32, 3, "abc\0"s, "-"},
            {"_a", 32, 0, "\0"s, "_a"},    // "_" is only allowed inside
            {"a!b", 32, 1, "a\0"s, "!b"},  // "!" is only allowed first
            {"x", 32, 1, "x\0"s, ""},
            {"", 32, 0, "\0"s, ""},
            {"\xe9t\xe9", 32, 0, "\0"s, "\xe9t\xe9"},  // high bytes are not letters
            {"identifier", 4, 10, "ide\0"s, ""},
            {"identifier", 0, 10, "", ""},
            {"identifier", -5, 10, "", ""},
        },
        [](char* o, int n, ByteStream& s) {
            return ReadIdentifier(o, n, TagIdentStart, TagIdentRest, s);
        },
        [](char* o, int n, const char*& c) {
            return ReadIdentifierStr(o, n, TagIdentStart, TagIdentRest, c);
        });
}

TEST(ReadIdentifier, ZeroByteFromAStreamIsAMemberOfEverySet) {
    RunStream(
        {"a\0b c"s, 32, 3, "a\0b\0"s, " c"},
        [](char* o, int n, ByteStream& s) { return ReadIdentifier(o, n, "", "", s); },
        StreamMode::Binary);
}

TEST(ReadWord, UpToWhiteSpaceWithoutSkippingAny) {
    RunBoth(
        {
            {"hello world", 32, 5, "hello\0"s, " world"},
            {"hello", 4, 5, "hel\0"s, ""},
            {"hello", 0, 5, "", ""},
            {"hello", 1, 5, "\0"s, ""},
            {"hello", 5, 5, "hell\0"s, ""},
            {"hello", 6, 5, "hello\0"s, ""},
            {" lead", 32, 0, "\0"s, " lead"},
            {"a\tb", 32, 1, "a\0"s, "\tb"},
            {"a\xa0"
             "b c",
             32, 3,
             "a\xa0"
             "b\0"s,
             " c"},  // 0xA0 is not white space
            {"", 32, 0, "\0"s, ""},
        },
        [](char* o, int n, ByteStream& s) { return ReadWord(o, n, s); },
        [](char* o, int n, const char*& c) { return ReadWordStr(o, n, c); });
}

TEST(ReadUntilOneOf, UpToAMemberOfTheSet) {
    RunBoth(
        {
            {"key=value", 32, 3, "key\0"s, "=value"},
            {"=value", 32, 0, "\0"s, "=value"},
            {"no stop", 32, 7, "no stop\0"s, ""},
            {"long field;", 5, 10, "long\0"s, ";"},
            {"ab\0cd;"s, 32, 2, "ab\0"s, "\0cd;"s},  // a zero byte ends the field
        },
        [](char* o, int n, ByteStream& s) { return ReadUntilOneOf(o, n, ";=", s); },
        [](char* o, int n, const char*& c) { return ReadUntilOneOfStr(o, n, ";=", c); });
}

TEST(ReadQuoted, FromQuoteToQuoteWithoutEscapes) {
    RunBoth(
        {
            {"\"a\\\"b\"", 32, 4, "\"a\\\"\0"s, "b\""},
            {"\"\" x", 32, 2, "\"\"\0"s, " x"},
            {"\"a > b\"c", 32, 7, "\"a > b\"\0"s, "c"},
            {"\"line\nend\"", 32, 10, "\"line\nend\"\0"s, ""},
            {"x\"a\"", 32, 0, "\0"s, "x\"a\""},
            {"\"long text\"", 4, 11, "\"lo\0"s, ""},
            {"\"unterminated", 32, 0, "\0"s, "", 4},
            {"\"", 32, 0, "\0"s, "", 4},
        },
        [](char* o, int n, ByteStream& s) { return ReadQuoted(o, n, s); },
        [](char* o, int n, const char*& c) { return ReadQuotedStr(o, n, c); });
}

TEST(ReadRawTag, WholeTagUnchangedWithQuotedGreaterThan) {
    RunBoth(
        {
            {"<x t=\"x>y\">z", 32, 11, "<x t=\"x>y\">\0"s, "z"},
            {"<a>", 32, 3, "<a>\0"s, ""},
            {"<>", 32, 2, "<>\0"s, ""},
            {"<a\n  b='>'>", 32, 9, "<a\n  b='>\0"s, "'>"},  // single quotes do not protect
            {"<a \"q\"\">", 32, 8, "<a \"q\"\">\0"s, ""},
            {"<a \"q\">", 32, 7, "<a \"q\">\0"s, ""},
            {"<abcdef>", 4, 8, "<ab\0"s, ""},
            {"<a \"quoted\">", 5, 12, "<a \"\0"s, ""},
            {"<a>", 0, 3, "", ""},
            {"x<a>", 32, 0, "\0"s, "x<a>"},
            {"<a", 32, 0, "\0"s, "", 4},
            {"<a \"b>", 32, 0, "\0"s, "", 4},
            {"<a \"b\"", 32, 0, "\0"s, "", 4},
        },
        [](char* o, int n, ByteStream& s) { return ReadRawTag(o, n, s); },
        [](char* o, int n, const char*& c) { return ReadRawTagStr(o, n, c); });
}

TEST(ReadTag, ParsesIntoPackedNameValueLists) {
    RunBoth(
        {
            {"<x k=1 m>", 64, 1,
             "x\0\0k\0"
             "1\0m\0\0\0"s,
             ">"},
            {"<x>", 64, 1, "x\0\0\0"s, ">"},
            {"<>", 64, 1, "\0"s, ">"},
            {"< >", 64, 1, "\0"s, ">"},
            {"<pic src=\"x&#65;\\ty\" alt=z>", 64, 1, "pic\0\0src\0xA\ty\0alt\0z\0\0"s, ">"},
            {"<x k='y'>", 64, 1, "x\0\0k\0'y'\0\0"s, ">"},
            {"<x k = \"y\">", 64, 1, "x\0\0k\0y\0\0"s, ">"},
            {"<x\n\tk=\"\"\r\n>", 64, 1, "x\0\0k\0\0\0"s, ">"},
            {"<a b=c=d>", 64, 1, "a\0\0b\0c=d\0\0"s, ">"},
            {"<a b=\"x\"y>", 64, 1, "a\0\0b\0x\0y\0\0\0"s, ">"},
            {"<!DOCTYPE html>", 64, 1, "!DOCTYPE\0\0html\0\0\0"s, ">"},
            {"<a b=\"&#0;tail\">", 64, 1, "a\0\0b\0\0\0"s, ">"},  // decoded zero ends the value
            {"<x k=1 m> after", 64, 1,
             "x\0\0k\0"
             "1\0m\0\0\0"s,
             "> after"},
        },
        [](char* o, int n, ByteStream& s) { return ReadTag(o, n, s); },
        [](char* o, int n, const char*& c) { return ReadTagStr(o, n, c); });
}

TEST(ReadTag, FailuresSetTheirCodesAndLeaveAnEmptyList) {
    RunBoth(
        {
            {"<x k=\"1>", 64, 0, "\0"s, "", 3},  // unterminated quoted value
            {"<x 1>", 64, 0, "\0"s, "1>", 2},
            {"<x k=>", 64, 0, "\0"s, ">", 3},
            {"<x k= >", 64, 0, "\0"s, ">", 3},
            {"<x k", 64, 0, "\0"s, "", 4},
            {"<x k=v", 64, 0, "\0"s, "", 4},
            {"<x k=\"v\"", 64, 0, "\0"s, "", 4},  // the input ends before the ">"
            {"<x ", 64, 0, "\0"s, "", 4},
            {"<", 64, 0, "\0"s, "", 4},
            {"<=x>", 64, 0, "\0"s, "=x>", 2},
        },
        [](char* o, int n, ByteStream& s) { return ReadTag(o, n, s); },
        [](char* o, int n, const char*& c) { return ReadTagStr(o, n, c); });
}

TEST(ReadTag, NoTagHereIsNotAFailure) {
    for (const char* input : {"abc", "", " <x>"}) {
        SCOPED_TRACE(input);
        char out[8] = "zzzzzzz";
        const char* cursor = input;
        ScanError = 77;
        EXPECT_EQ(ReadTagStr(out, sizeof out, cursor), 0);
        EXPECT_EQ(cursor, input);
        EXPECT_EQ(out[0], '\0');
        EXPECT_EQ(ScanError, 77);
        ForEachShape(input, StreamMode::Binary, [&](ByteStream& s) {
            EXPECT_EQ(ReadTag(out, sizeof out, s), 0);
            EXPECT_EQ(ScanError, 77);
            EXPECT_EQ(Rest(s), input);
        });
    }
}

TEST(ReadTag, CapacityOfExactlyTheListSucceedsOneLessFails) {
    const std::string list =
        "x\0\0k\0"
        "1\0m\0\0\0"s;
    ASSERT_EQ(list.size(), 11u);
    std::vector<TokenCase> cases = {
        {"<x k=1 m>", 11, 1, list, ">"},    {"<x k=1 m>", 10, 0, "\0"s, ">", 1},
        {"<x k=1 m>", 1, 0, "\0"s, ">", 1}, {"<x k=1 m>", 0, 0, "", ">", 1},
        {"<>", 1, 1, "\0"s, ">"},           {"<>", 0, 0, "", ">", 1},
    };
    // A cut quoted value loses its closing quote, so it shrinks by one more byte and the end
    // mark still fits when the value is the last item.
    cases.push_back({"<x k=\"abcdef\">", 10, 1, "x\0\0k\0abc\0\0"s, ">"});
    cases.push_back({"<x k=\"abcdef\" m>", 10, 0, "\0"s, ">", 1});
    RunBoth(
        cases, [](char* o, int n, ByteStream& s) { return ReadTag(o, n, s); },
        [](char* o, int n, const char*& c) { return ReadTagStr(o, n, c); });
}

TEST(ReadTag, TextModeStreamDropsCarriageReturnsInsideTheTag) {
    RunStream(
        {"<x\r\nk=\"a\rb\">", 64, 1, "x\0\0k\0ab\0\0"s, ">"},
        [](char* o, int n, ByteStream& s) { return ReadTag(o, n, s); }, StreamMode::Text);
}

TEST(FindValue, FindsValuesInAListThatReadTagBuilt) {
    char list[64];
    const char* cursor = "<a HREF=x title=\"y\" empty>";
    ASSERT_EQ(ReadTagStr(list, sizeof list, cursor), 1);
    EXPECT_STREQ(FindValue(list, "href", "-"), "x");
    EXPECT_STREQ(FindValue(list, "TITLE", "-"), "y");
    EXPECT_STREQ(FindValue(list, "empty", "-"), "");
    EXPECT_STREQ(FindValue(list, "A", "-"), "");
    EXPECT_STREQ(FindValue(list, "x", "-"), "-");
}

// --- Skips and peeks ---

TEST(SkipWhileOneOf, SkipsMembersAndZeroBytes) {
    ForEachShape("  \0 \0x y"s, StreamMode::Binary, [](ByteStream& s) {
        EXPECT_EQ(SkipWhileOneOf(s, " "), 'x');
        EXPECT_EQ(s.Get(), 'x');
        EXPECT_EQ(SkipWhileOneOf(s, ""), ' ');  // an empty set still holds the zero byte
        EXPECT_EQ(SkipWhileOneOf(s, " y"), -1);
        EXPECT_TRUE(s.Eof());
    });
}

TEST(PeekNonSpaceStr, StopsOnTheFirstOtherCharacterAsASignedValue) {
    const char* text = " \t\r\n\v\fx";
    EXPECT_EQ(PeekNonSpaceStr(text), 'x');
    EXPECT_EQ(*text, 'x');
    const char* high = " \xa0y";
    EXPECT_EQ(PeekNonSpaceStr(high), -0x60);
    EXPECT_EQ(*high, '\xa0');
    const char* blank = "   ";
    EXPECT_EQ(PeekNonSpaceStr(blank), 0);
    EXPECT_EQ(*blank, '\0');
}

TEST(SkipUntilOneOfStr, StopsOnAMemberOrTheTerminator) {
    const char* text = "abc;d";
    EXPECT_EQ(SkipUntilOneOfStr(text, ";"), ';');
    EXPECT_STREQ(text, ";d");
    EXPECT_EQ(SkipUntilOneOfStr(text, ";"), ';');  // already on a member: stays
    const char* none = "abc";
    EXPECT_EQ(SkipUntilOneOfStr(none, ";"), 0);
    EXPECT_EQ(*none, '\0');
    const char* high = "ab\xe9z";
    EXPECT_EQ(SkipUntilOneOfStr(high, "\xe9"), static_cast<signed char>('\xe9'));
    EXPECT_STREQ(high, "\xe9z");
}

// --- Hex over a cursor ---

struct HexStrCase {
    const char* input;
    int result;
    int consumed;
};

TEST(HexStr, DigitsBytesAndWordsConsumeAsTheStreamReadersDo) {
    using Read = int (*)(const char*&);
    const struct {
        Read read;
        std::vector<HexStrCase> cases;
    } groups[] = {
        {ReadHexDigitStr, {{"a", 10, 1}, {"G", -1, 1}, {"", -1, 0}, {"\xff", -1, 1}}},
        {ReadHexByteStr, {{"a5", 0xA5, 2}, {"x5", -1, 1}, {"5x", -1, 2}, {"5", -1, 1}}},
        {ReadHexWordStr,
         {{"1A2b", 0x1A2B, 4},
          {"1G", -1, 2},
          {"x234", -1, 1},
          {"12x4", -1, 3},
          {"123x", -1, 4},
          {"12", -1, 2}}},
    };
    for (const auto& group : groups) {
        for (const HexStrCase& tc : group.cases) {
            SCOPED_TRACE(tc.input);
            const char* cursor = tc.input;
            EXPECT_EQ(group.read(cursor), tc.result);
            EXPECT_EQ(cursor - tc.input, tc.consumed);
        }
    }
}

// --- Line and column ---

TEST(GetLineColumn, AtTheStartAndAfterALineFeed) {
    ForEachShape("ab\nc\nd", StreamMode::Binary, [](ByteStream& s) {
        int column = -1;
        EXPECT_EQ(GetLineColumn(s, &column), 1);
        EXPECT_EQ(column, 1);
        for (char expected : {'a', 'b', '\n', 'c'}) {
            EXPECT_EQ(s.Get(), expected);
        }
        EXPECT_EQ(GetLineColumn(s, &column), 2);
        EXPECT_EQ(column, 2);
        EXPECT_EQ(GetLineColumn(s), 2);  // the column is optional
        EXPECT_EQ(s.Get(), '\n');        // the stream goes on where it was
    });
}

TEST(GetLineColumn, CrLfCountsTwiceOnlyWhereTheStreamPassesBoth) {
    const std::string text = "ab\r\ncd\r\ne";
    struct {
        StreamMode mode;
        int reads;
        int line;
        int column;
    } const cases[] = {
        {StreamMode::Text, 5, 2, 3},    // a b \n c d
        {StreamMode::Binary, 6, 3, 3},  // a b \r \n c d
        {StreamMode::Text, 3, 2, 1},    // a b \n
        {StreamMode::Binary, 3, 2, 1},  // a b \r
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.reads);
        ForEachShape(text, tc.mode, [&](ByteStream& s) {
            for (int i = 0; i < tc.reads; ++i) {
                s.Get();
            }
            int column = 0;
            EXPECT_EQ(GetLineColumn(s, &column), tc.line);
            EXPECT_EQ(column, tc.column);
        });
    }
}

TEST(GetLineColumn, AgreesWithWhatThePushBackLeftUnread) {
    ForEachShape("a\r\nb", StreamMode::Text, [](ByteStream& s) {
        EXPECT_EQ(s.Get(), 'a');
        EXPECT_EQ(s.Get(), '\n');
        s.Unget('\n');
        int column = 0;
        EXPECT_EQ(GetLineColumn(s, &column), 1);
        EXPECT_EQ(column, 2);
        EXPECT_EQ(s.Get(), '\n');
    });
}

TEST(GetLineColumn, AfterCtrlZAndBeyondTheEnd) {
    ForEachShape(
        "a\nb\x1a"
        "c\nd"s,
        StreamMode::Text, [](ByteStream& s) {
            while (s.Get() >= 0) {
            }
            int column = 0;
            EXPECT_EQ(GetLineColumn(s, &column), 2);
            EXPECT_EQ(column, 2);
            ASSERT_EQ(s.Seek(100), 0);
            EXPECT_EQ(GetLineColumn(s, &column), 0);
            EXPECT_EQ(column, 0);
        });
}

// Through /proc/self/fd, which Windows lacks.
#ifndef _WIN32
TEST(GetLineColumn, StreamThatCannotTellGivesZero) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], "a\nb", 3), 3);
    ::close(fds[1]);
    ByteStream s;
    ASSERT_TRUE(s.Open("/proc/self/fd/" + std::to_string(fds[0]), StreamMode::Text));
    ::close(fds[0]);
    s.Get();
    int column = 9;
    EXPECT_EQ(GetLineColumn(s, &column), 0);
    EXPECT_EQ(column, 0);
    EXPECT_EQ(s.Get(), '\n');
}
#endif

}  // namespace
}  // namespace tarnel
