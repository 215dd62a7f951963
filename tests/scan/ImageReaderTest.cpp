#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "ScanTestSupport.h"
#include "scan/ImageReader.h"

namespace tarnel {
namespace {

using testing::ForEachShape;
using testing::TempDir;

// --- Primitives: results and how much a read consumes ---

struct PrimitiveCase {
    std::string input;
    int result;
    std::string rest;  // what the next reads get
};

template <class Read>
void CheckPrimitive(const PrimitiveCase& tc, Read read) {
    SCOPED_TRACE(tc.input);
    ForEachShape(tc.input, StreamMode::Binary, [&](ByteStream& s) {
        EXPECT_EQ(read(s), tc.result);
        std::string rest;
        for (int c; (c = s.Get()) >= 0;) {
            rest.push_back(static_cast<char>(c));
        }
        EXPECT_EQ(rest, tc.rest);
    });
}

TEST(HexDigitValue, DigitsOfBothCasesAndNothingElse) {
    for (int c = -1; c < 256; ++c) {
        int expected = -1;
        if (c >= '0' && c <= '9') {
            expected = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            expected = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            expected = c - 'A' + 10;
        }
        EXPECT_EQ(HexDigitValue(c), expected) << c;
    }
    EXPECT_EQ(HexDigitValue(static_cast<signed char>('\xB0')), -1);
}

TEST(ReadHexDigit, ConsumesExactlyOneCharacterWhateverItIs) {
    const PrimitiveCase cases[] = {
        {"7x", 7, "x"},   {"fx", 15, "x"}, {"Fx", 15, "x"}, {"gx", -1, "x"},
        {"\nx", -1, "x"}, {" x", -1, "x"}, {"", -1, ""},
    };
    for (const auto& tc : cases) {
        CheckPrimitive(tc, [](ByteStream& s) { return ReadHexDigit(s); });
    }
}

TEST(ReadHexByte, FailingFirstDigitTakesOneCharacterOtherwiseTwo) {
    const PrimitiveCase cases[] = {
        {"a5z", 0xA5, "z"}, {"00z", 0, "z"},
        {"FFz", 0xFF, "z"}, {"x5z", -1, "5z"},  // first digit fails: one character consumed
        {"5xz", -1, "z"},                       // second fails: both consumed, no partial value
        {"5", -1, ""},      {"", -1, ""},
    };
    for (const auto& tc : cases) {
        CheckPrimitive(tc, [](ByteStream& s) { return ReadHexByte(s); });
    }
}

TEST(ReadHexWord, ConsumesOneToFourCharactersOnFailure) {
    const PrimitiveCase cases[] = {
        {"1A2bz", 0x1A2B, "z"}, {"ffffz", 0xFFFF, "z"},
        {"x234z", -1, "234z"},  // first byte, first digit: 1
        {"1x34z", -1, "34z"},   // first byte, second digit: 2
        {"12x4z", -1, "4z"},    // second byte, first digit: 3
        {"123xz", -1, "z"},     // second byte, second digit: 4
        {"123", -1, ""},
    };
    for (const auto& tc : cases) {
        CheckPrimitive(tc, [](ByteStream& s) { return ReadHexWord(s); });
    }
}

TEST(PeekNonSpace, SkipsTheSixWhiteSpaceCharactersAndLeavesTheNextOne) {
    const PrimitiveCase cases[] = {
        {" \t\n\v\f\r@x", '@', "@x"},
        {"x", 'x', "x"},
        {" \t\n", -1, ""},
        {"\xa0x", 0xA0, "\xa0x"},  // not white space in the image format
        {std::string(" \0x", 3), 0, std::string("\0x", 2)},
    };
    for (const auto& tc : cases) {
        CheckPrimitive(tc, [](ByteStream& s) { return PeekNonSpace(s); });
    }
}

TEST(SkipUntilOneOf, StopsBeforeAMemberOrAZeroByteOrAtTheEnd) {
    ForEachShape(std::string("abc\0def;g", 9), StreamMode::Binary, [](ByteStream& s) {
        EXPECT_EQ(SkipUntilOneOf(s, ";"), 0);  // a zero byte matches every set
        EXPECT_EQ(s.Get(), 0);
        EXPECT_EQ(SkipUntilOneOf(s, ";"), ';');
        EXPECT_EQ(s.Get(), ';');
        EXPECT_EQ(SkipUntilOneOf(s, ";"), -1);
        EXPECT_EQ(s.Get(), -1);
    });
}

// --- ReadWordImage ---

constexpr std::uint32_t kFlashWords = 32768;

struct ImageCase {
    const char* name;
    std::string text;
    int result;
    std::map<std::uint32_t, std::uint16_t> words;  // every word that differs from the fill
    std::uint32_t capacity = kFlashWords;
    std::uint32_t beyond = 0;  // distinct addresses at or above the capacity
};

class ReadWordImageTest : public ::testing::Test {
protected:
    // Reads text as a file into a buffer filled with fill; checks the result and that exactly
    // the expected words differ from the fill.
    void Check(const ImageCase& tc, std::uint16_t fill = 0xFFFF) {
        SCOPED_TRACE(tc.name);
        std::vector<std::uint16_t> image(tc.capacity + 2, fill);
        const std::string path = dir_.Write("image.rom", tc.text);
        const int result = ReadWordImage(path, image.data() + 1, tc.capacity);
        EXPECT_EQ(result, tc.result);
        {
            std::vector<std::uint16_t> again(tc.capacity + 1, fill);
            ByteStream stream;
            ASSERT_TRUE(stream.Open(path, StreamMode::Text));
            const ImageReadResult counted = ReadWordImageCounted(stream, again.data(), tc.capacity);
            EXPECT_EQ(counted.highest, tc.result);
            EXPECT_EQ(counted.wordsBeyond, tc.beyond);
        }
        EXPECT_EQ(image.front(), fill) << "word before the image";
        EXPECT_EQ(image.back(), fill) << "word behind the capacity";
        std::map<std::uint32_t, std::uint16_t> changed;
        for (std::uint32_t a = 0; a < tc.capacity; ++a) {
            if (image[a + 1] != fill) {
                changed[a] = image[a + 1];
            }
        }
        EXPECT_EQ(changed, tc.words);
    }

    TempDir dir_;
};

TEST_F(ReadWordImageTest, RecordsAndTheLinesAroundThem) {
    const ImageCase cases[] = {
        {"empty file", "", -1, {}},
        {"comments only", "# header\n; comment\n\n", -1, {}},
        {"address 0 gives 0", "@000000 1234\n", 0, {{0, 0x1234}}},
        {"value 0xFFFF is written", "@000001 FFFF\n", 1, {}},
        {"no line end at the end", "@000100 3FFF", 0x100, {{0x100, 0x3FFF}}},
        {"no blank before the value", "@0001003FFF\n", 0x100, {{0x100, 0x3FFF}}},
        {"case of hex digits",
         "@00a0ff abcd\n@00A0FE ABCD\n",
         0xA0FF,
         {{0xA0FF, 0xABCD}, {0xA0FE, 0xABCD}},
         0x10000},
        {"value on the next line, its rest ignored",
         "@000010\n  1234 @000011 5555\n@000012 0001\n",
         0x12,
         {{0x10, 0x1234}, {0x12, 0x0001}}},
        {"value after empty lines", "@000010\n\n\n\t4321\n", 0x10, {{0x10, 0x4321}}},
        {"second record on a line is ignored", "@000001 1111 @000002 2222\n", 1, {{1, 0x1111}}},
        {"later record replaces earlier",
         "@000005 1111\n@000005 2222\n@000003 0003\n",
         5,
         {{5, 0x2222}, {3, 0x0003}}},
        {"leading blanks and tabs", " \t @000007 0007\n", 7, {{7, 0x0007}}},
        {"text before @ hides the record", "x @000007 0007\n@000008 0008\n", 8, {{8, 0x0008}}},
        {"five-digit address drops the record", "@12345 ABCD\n@000001 0001\n", 1, {{1, 0x0001}}},
        {"three-digit value swallows the next line",
         "@000001 123\n@000002 2222\n@000003 3333\n",
         3,
         {{3, 0x3333}}},
        {"address without value swallows the next line",
         "@000001\n@000002 2222\n@000003 3333\n",
         3,
         {{3, 0x3333}}},
        {"address broken by line end swallows the next line",
         "@0000\n@000002 2222\n@000003 3333\n",
         3,
         {{3, 0x3333}}},
        {"non-hex value", "@000001 12G4\n@000002 2222\n", 2, {{2, 0x2222}}},
        {"signs and prefixes are not hex", "@+00001 1111\n@000002 0x22\n", -1, {}},
        {"@ alone at the end", "@", -1, {}},
        {"value cut by the end", "@000001 12", -1, {}},
        {"zero byte in a comment ends the line skip",
         std::string("#a\0@000001 1111\n", 16),
         1,
         {{1, 0x1111}}},
        {"zero byte opening a line ends its own skip",
         std::string("\0@000001 1111\n", 14),
         1,
         {{1, 0x1111}}},
    };
    for (const auto& tc : cases) {
        Check(tc);
    }
}

TEST_F(ReadWordImageTest, AddressesAtAndAboveTheCapacityCountButAreNotStored) {
    const ImageCase cases[] = {
        {"last word", "@007FFF 1234\n", 0x7FFF, {{0x7FFF, 0x1234}}},
        {"first word beyond", "@008000 1234\n", 0x8000, {}, kFlashWords, 1},
        {"beyond, and a lower one stored",
         "@008000 1234\n@000001 0001\n",
         0x8000,
         {{1, 0x0001}},
         kFlashWords,
         1},
        {"highest 24-bit address", "@FFFFFF 1234\n", 0xFFFFFF, {}, kFlashWords, 1},
        {"high 16 bits matter", "@010000 1234\n", 0x10000, {}, kFlashWords, 1},
        {"a word beyond named twice counts once",
         "@008001 1111\n@008001 2222\n@008000 3333\n",
         0x8001,
         {},
         kFlashWords,
         2},
        {"small capacity", "@000001 1111\n@000002 2222\n", 2, {{1, 0x1111}}, 2, 1},
        {"capacity 0 stores nothing", "@000000 1111\n", 0, {}, 0, 1},
    };
    for (const auto& tc : cases) {
        Check(tc);
    }
}

TEST_F(ReadWordImageTest, OnlyTheNamedWordsChangeWhateverTheFill) {
    Check({"bootloader fill", "@000001 FFFF\n@000002 0000\n", 2, {{1, 0xFFFF}}, 2048}, 0);
}

TEST_F(ReadWordImageTest, CtrlZEndsTheFile) {
    const ImageCase cases[] = {
        {"records behind it are not read", "@000001 1111\n\x1a@000002 2222\n", 1, {{1, 0x1111}}},
        {"a file that begins with it", "\x1a@000001 1111\n", -1, {}},
        {"inside a record",
         "@000001 11\x1a"
         "11\n",
         -1,
         {}},
    };
    for (const auto& tc : cases) {
        Check(tc);
    }
}

TEST_F(ReadWordImageTest, CrLfAndLfFilesGiveTheSameImageAndResult) {
    const std::string lf =
        "# flash image\n@000000 0001\n@000001\n0002 tail\n@000002 003\n@000003 0004\n"
        "\n  @007FFF ABCD\n@008000 0000\n@00a0 bad\n@000010 1010";
    std::string crlf;
    std::string crAnywhere;
    for (char c : lf) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
        crAnywhere += '\r';
        crAnywhere += c;
    }
    std::vector<std::uint16_t> a(kFlashWords, 0xFFFF);
    std::vector<std::uint16_t> b(kFlashWords, 0xFFFF);
    std::vector<std::uint16_t> c(kFlashWords, 0xFFFF);
    const int ra = ReadWordImage(dir_.Write("lf.rom", lf), a.data(), kFlashWords);
    const int rb = ReadWordImage(dir_.Write("crlf.rom", crlf), b.data(), kFlashWords);
    const int rc = ReadWordImage(dir_.Write("cr.rom", crAnywhere), c.data(), kFlashWords);
    EXPECT_EQ(ra, 0x8000);
    EXPECT_EQ(rb, ra);
    EXPECT_EQ(rc, ra);
    EXPECT_EQ(b, a);
    EXPECT_EQ(c, a);
    EXPECT_EQ(a[1], 0x0002);
    EXPECT_EQ(a[2], 0xFFFF);  // three-digit value
    EXPECT_EQ(a[3], 0xFFFF);  // swallowed with it
    EXPECT_EQ(a[0x10], 0x1010);
}

TEST_F(ReadWordImageTest, FileThatCannotBeOpenedGivesMinusOneAndTouchesNothing) {
    std::vector<std::uint16_t> image(16, 0x5A5A);
    EXPECT_EQ(ReadWordImage((dir_.Path() / "missing.rom").string(), image.data(), 16), -1);
    EXPECT_EQ(ReadWordImage(dir_.Path().string(), image.data(), 16), -1);
    EXPECT_EQ(image, std::vector<std::uint16_t>(16, 0x5A5A));
}

TEST_F(ReadWordImageTest, WholeFlashImageRoundTrips) {
    std::string text;
    std::vector<std::uint16_t> expected(kFlashWords, 0xFFFF);
    int highest = -1;
    char line[32];
    for (std::uint32_t a = 0; a < kFlashWords; ++a) {
        const auto value = static_cast<std::uint16_t>(a * 2654435761u >> 16);
        if (value == 0xFFFF) {
            continue;
        }
        std::snprintf(line, sizeof line, "@%06X %04X\n", a, value);
        text += line;
        expected[a] = value;
        highest = static_cast<int>(a);
    }
    std::vector<std::uint16_t> image(kFlashWords, 0xFFFF);
    EXPECT_EQ(ReadWordImage(dir_.Write("full.rom", text), image.data(), kFlashWords), highest);
    EXPECT_EQ(image, expected);
}

struct MalformedCase {
    const char* name;
    std::string text;
    std::vector<std::uint64_t> lines;  // the lines of the malformed records, in order
    std::string first;                 // what the first one says
};

// Every line that begins with "@" and gives no word is named, the ones a broken record
// ran into included; well-formed oddities (a value on a later line, text after a value,
// an "@" that is not first on its line) are not.
TEST(ReadWordImageCounted, NamesEveryMalformedRecordWithItsLine) {
    const MalformedCase cases[] = {
        {"well-formed", "# c\n@000010\n\n 1234 tail\nx @00000G\n@000011 1111 @zz\n", {}, ""},
        {"two-digit value takes the next line with it",
         "@000000 1111\n@000001 22\n@000002 2222\n@000003 3333\n",
         {2, 3},
         "four hex digits of value expected, found a line end"},
        {"non-hex address digit",
         "@00000G F2A7\n@000001 1111\n",
         {1},
         "six hex digits of address expected after \"@\", found \"G\""},
        {"address without value", "\n@000001\n  @000002 2222\n@000003 3333\n", {2, 3}, ""},
        {"cut address; the next line is a comment", "@0000\n# note\n@000003 3333\n", {1}, ""},
        {"value cut by the end of the file", "@000001 1111\n@000002 12", {2}, ""},
        {"broken value on a later line", "@000001\n12\n@000002 2222\n", {1, 3}, ""},
        {"zero byte for a digit",
         std::string("@0000\0\n@000001 1111\n", 20),
         {1},
         "six hex digits of address expected after \"@\", found byte 0x00"},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        ForEachShape(tc.text, StreamMode::Text, [&](ByteStream& s) {
            std::vector<std::uint16_t> image(16, 0xFFFF);
            const ImageReadResult read = ReadWordImageCounted(s, image.data(), 16);
            std::vector<std::uint64_t> lines;
            for (const MalformedRecord& record : read.malformed) {
                lines.push_back(record.line);
            }
            EXPECT_EQ(lines, tc.lines);
            EXPECT_EQ(read.malformedCount, tc.lines.size());
            if (!tc.first.empty() && !read.malformed.empty()) {
                EXPECT_EQ(read.malformed.front().what, tc.first);
            }
        });
    }
}

TEST(ReadWordImageCounted, ListsTheFirstMalformedRecordsAndCountsThemAll) {
    std::string text;
    for (int i = 0; i < 150; ++i) {
        text += "@00000X 1111\n";
    }
    ByteStream s;
    s.OpenMemory(text.data(), text.size(), StreamMode::Text);
    const ImageReadResult read = ReadWordImageCounted(s, nullptr, 0);
    EXPECT_EQ(read.malformedCount, 150u);
    ASSERT_EQ(read.malformed.size(), kListedMalformed);
    EXPECT_EQ(read.malformed.back().line, kListedMalformed);
}

TEST_F(ReadWordImageTest, AFailedReadIsNotTheEndOfTheFile) {
    const std::string path = dir_.Write("image.rom", "@000001 1111\n@000002 2222\n");
    for (const std::int64_t offset : {0, 5, 13}) {
        SCOPED_TRACE(offset);
        FailFileReadsAt(offset, EIO);
        std::vector<std::uint16_t> image(4, 0xFFFF);
        EXPECT_EQ(ReadWordImage(path, image.data(), 4), -1);
        ByteStream stream;
        EXPECT_EQ(stream.OpenRegularFile(path, StreamMode::Text), "");
        ReadWordImageCounted(stream, image.data(), 4);
        EXPECT_TRUE(stream.Error());
        EXPECT_EQ(stream.ErrorNumber(), EIO);
        FailFileReadsAt(-1, 0);
    }
}

TEST(ReadWordImageStream, SameResultFromEveryStreamShape) {
    const std::string text = "@000001\r\n 0101\r\n@000002 02\r\n@000003 0303\r\n";
    ForEachShape(text, StreamMode::Text, [](ByteStream& s) {
        std::uint16_t image[4] = {0, 0, 0, 0};
        EXPECT_EQ(ReadWordImage(s, image, 4), 1);
        EXPECT_EQ(image[1], 0x0101);
        EXPECT_EQ(image[3], 0);
    });
}

}  // namespace
}  // namespace tarnel
