#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ScanTestSupport.h"
#include "scan/ByteStream.h"

namespace tarnel {
namespace {

using testing::ForEachShape;
using testing::TempDir;

std::string ReadAll(ByteStream& stream) {
    std::string got;
    for (int c; (c = stream.Get()) >= 0;) {
        got.push_back(static_cast<char>(c));
    }
    return got;
}

std::string AllBytes() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes.push_back(static_cast<char>(i));
    }
    return bytes;
}

TEST(ByteStream, BinaryModePassesEveryByteThenEndsForGood) {
    const std::string bytes = AllBytes() + "\r\n\x1a\r";
    ForEachShape(bytes, StreamMode::Binary, [&](ByteStream& s) {
        EXPECT_FALSE(s.Eof());
        EXPECT_EQ(ReadAll(s), bytes);
        EXPECT_TRUE(s.Eof());
        EXPECT_EQ(s.Get(), -1);
        EXPECT_EQ(s.Tell(), static_cast<std::int64_t>(bytes.size()));
    });
}

struct TextCase {
    const char* name;
    std::string raw;
    std::string seen;
};

TEST(ByteStream, TextModeDropsCarriageReturnsAndEndsAtCtrlZ) {
    const TextCase cases[] = {
        {"crlf", "a\r\nb\r\n", "a\nb\n"},
        {"lone and repeated cr", "\ra\r\r\rb\r", "ab"},
        {"only cr", "\r\r\r\r\r\r\r", ""},
        {"ctrl-z ends",
         "ab\x1a"
         "cd\n",
         "ab"},
        {"ctrl-z first", "\x1a@000000 1234\n", ""},
        {"cr before ctrl-z", "x\r\r\x1a\r\n", "x"},
        {"zero bytes pass", std::string("a\0b", 3), std::string("a\0b", 3)},
        {"high bytes pass", "\x80\xff\xfe", "\x80\xff\xfe"},
    };
    for (const TextCase& tc : cases) {
        SCOPED_TRACE(tc.name);
        ForEachShape(tc.raw, StreamMode::Text, [&](ByteStream& s) {
            EXPECT_EQ(ReadAll(s), tc.seen);
            EXPECT_TRUE(s.Eof());
            EXPECT_EQ(s.Get(), -1);  // stays ended, also after a Ctrl-Z with text behind it
        });
    }
}

TEST(ByteStream, PushBackOfEndDoesNothingAndKeepsEof) {
    ForEachShape("", StreamMode::Binary, [](ByteStream& s) {
        EXPECT_EQ(s.Get(), -1);
        s.Unget(-1);
        EXPECT_TRUE(s.Eof());
        EXPECT_EQ(s.Get(), -1);
    });
}

TEST(ByteStream, PushBackOfTheLastCharacterIsReadAgainAndClearsEof) {
    for (StreamMode mode : {StreamMode::Binary, StreamMode::Text}) {
        ForEachShape("xy", mode, [](ByteStream& s) {
            EXPECT_EQ(s.Get(), 'x');
            EXPECT_EQ(s.Get(), 'y');
            EXPECT_EQ(s.Get(), -1);
            EXPECT_TRUE(s.Eof());
            s.Unget('y');
            EXPECT_FALSE(s.Eof());
            EXPECT_EQ(s.Tell(), 1);
            EXPECT_EQ(s.Get(), 'y');
            EXPECT_EQ(s.Get(), -1);
        });
    }
}

TEST(ByteStream, PushBackOfAnotherCharacterIsReadOnceThenTheStreamGoesOn) {
    for (StreamMode mode : {StreamMode::Binary, StreamMode::Text}) {
        ForEachShape("abc", mode, [](ByteStream& s) {
            EXPECT_EQ(s.Get(), 'a');
            s.Unget('Z');
            EXPECT_EQ(s.Tell(), 0);
            EXPECT_EQ(s.Get(), 'Z');
            EXPECT_EQ(s.Tell(), 1);
            s.Unget('Z');  // the pushed-back character itself, pushed back again
            EXPECT_EQ(s.Get(), 'Z');
            EXPECT_EQ(s.Get(), 'b');
            EXPECT_EQ(s.Get(), 'c');
            EXPECT_EQ(s.Get(), -1);
        });
    }
}

TEST(ByteStream, PushBackBeforeTheFirstReadIsServedFirst) {
    ForEachShape("b", StreamMode::Binary, [](ByteStream& s) {
        s.Unget('a');
        EXPECT_EQ(s.Get(), 'a');
        EXPECT_EQ(s.Get(), 'b');
        EXPECT_EQ(s.Get(), -1);
    });
}

// Every position told before a read, sought again, gives the same character again: the
// positions the stream tells agree with what its readers saw, in both modes and across
// refills, carriage-return runs and a Ctrl-Z.
TEST(ByteStream, EveryToldPositionLeadsBackToTheSameCharacter) {
    const std::string inputs[] = {
        "a\r\nb\r\n\r\nc",
        "\r\r\r\rx\r\r\ry\r",
        "@000100 3FFF\r\n@000101 0001\r\n",
        std::string("\0\r\n\x1a"
                    "after",
                    9),
        AllBytes(),
    };
    for (const std::string& input : inputs) {
        for (StreamMode mode : {StreamMode::Binary, StreamMode::Text}) {
            ForEachShape(input, mode, [&](ByteStream& s) {
                std::vector<std::pair<std::int64_t, int>> seen;
                for (;;) {
                    const std::int64_t at = s.Tell();
                    const int c = s.Get();
                    seen.emplace_back(at, c);
                    if (c < 0) {
                        break;
                    }
                }
                for (std::size_t i = 1; i < seen.size(); ++i) {
                    EXPECT_LT(seen[i - 1].first, seen[i].first) << "positions grow";
                }
                for (auto it = seen.rbegin(); it != seen.rend(); ++it) {
                    ASSERT_EQ(s.Seek(it->first), 0);
                    EXPECT_FALSE(s.Eof());
                    EXPECT_EQ(s.Get(), it->second) << "at " << it->first;
                }
            });
        }
    }
}

TEST(ByteStream, TextModeTellsThePositionOfTheNextCharacterBehindCarriageReturns) {
    // The window of a 1-byte buffer ends on every carriage return: Tell looks past it.
    ForEachShape("a\r\r\nb", StreamMode::Text, [](ByteStream& s) {
        EXPECT_EQ(s.Get(), 'a');
        EXPECT_EQ(s.Tell(), 3);
        EXPECT_EQ(s.Get(), '\n');
        EXPECT_EQ(s.Tell(), 4);
        s.Unget('\n');
        EXPECT_EQ(s.Tell(), 3);
    });
}

TEST(ByteStream, RewindAndSeekClearEofAndReadAgain) {
    ForEachShape("hello", StreamMode::Binary, [](ByteStream& s) {
        ReadAll(s);
        ASSERT_TRUE(s.Eof());
        s.Rewind();
        EXPECT_FALSE(s.Eof());
        EXPECT_EQ(ReadAll(s), "hello");
        ASSERT_EQ(s.Seek(3), 0);
        EXPECT_EQ(ReadAll(s), "lo");
        EXPECT_EQ(s.Seek(-1), -1);
    });
}

TEST(ByteStream, SeekPastTheEndReadsNothingAndTellsTheOffset) {
    ForEachShape("abc", StreamMode::Binary, [](ByteStream& s) {
        ASSERT_EQ(s.Seek(10), 0);
        EXPECT_EQ(s.Tell(), 10);
        EXPECT_EQ(s.Get(), -1);
        EXPECT_TRUE(s.Eof());
        ASSERT_EQ(s.Seek(1), 0);
        EXPECT_EQ(s.Get(), 'b');
    });
}

TEST(ByteStream, MissingFileAndDirectoryDoNotOpen) {
    TempDir dir;
    ByteStream s;
    EXPECT_FALSE(s.Open((dir.Path() / "missing.rom").string(), StreamMode::Text));
    EXPECT_FALSE(s.IsOpen());
    EXPECT_FALSE(s.Open(dir.Path().string(), StreamMode::Text));
    EXPECT_EQ(s.Get(), -1);
    EXPECT_EQ(s.Tell(), -1);
}

// Through /proc/self/fd, which Windows lacks.
#ifndef _WIN32
TEST(ByteStream, PipeIsReadButCannotTellOrSeek) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], "a\r\nb", 4), 4);
    ::close(fds[1]);
    ByteStream s;
    ASSERT_TRUE(s.Open("/proc/self/fd/" + std::to_string(fds[0]), StreamMode::Text, 2));
    ::close(fds[0]);
    EXPECT_EQ(s.Tell(), -1);
    EXPECT_EQ(s.Seek(0), -1);
    EXPECT_EQ(ReadAll(s), "a\nb");
}
#endif

}  // namespace
}  // namespace tarnel
