#include "scan/TextScanner.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>

#include "scan/CharSets.h"

namespace tarnel {

int ScanError = 0;

const char* const TagIdentStart = "!/";
const char* const TagIdentRest = "_";
const char* const TagValueStop = " \n\r\t>";

namespace {

// The two families share every algorithm through these two sources. Each takes characters
// one at a time and can put back the one just taken.

// Characters 0 to 255, -1 at the end; a zero byte is an ordinary character.
class StreamSource {
public:
    static constexpr int kEnd = -1;
    explicit StreamSource(ByteStream& stream) : stream_(stream) {}
    int Take() { return stream_.Get(); }
    void PutBack(int c) { stream_.Unget(c); }
    int PeekNonSpace() { return tarnel::PeekNonSpace(stream_); }
    // Whether the input has ended. A peek rather than the end-of-file indicator alone, which
    // a quoted string or a ">" can leave clear right at the end of the input.
    bool AtEnd() {
        const int c = Take();
        PutBack(c);
        return c == kEnd;
    }
    static bool IsSpace(int c) { return c >= 0 && std::isspace(c) != 0; }
    static bool IsAlpha(int c) { return c >= 0 && std::isalpha(c) != 0; }
    static bool IsAlnum(int c) { return c >= 0 && std::isalnum(c) != 0; }
    static bool InSet(const char* set, int c) { return c >= 0 && detail::InSet(set, c); }

private:
    ByteStream& stream_;
};

// Signed characters, the terminator (0) as the end; the cursor never passes the terminator.
class CursorSource {
public:
    static constexpr int kEnd = 0;
    explicit CursorSource(const char*& cursor) : cursor_(cursor) {}
    int Take() {
        const int c = static_cast<signed char>(*cursor_);
        if (c != kEnd) {
            ++cursor_;
        }
        return c;
    }
    void PutBack(int c) {
        if (c != kEnd) {
            --cursor_;
        }
    }
    int PeekNonSpace() { return PeekNonSpaceStr(cursor_); }
    bool AtEnd() const { return *cursor_ == '\0'; }
    // A negative character (0x80 to 0xFF) is never white space, a letter or a digit.
    static bool IsSpace(int c) { return c > 0 && std::isspace(c) != 0; }
    static bool IsAlpha(int c) { return c > 0 && std::isalpha(c) != 0; }
    static bool IsAlnum(int c) { return c > 0 && std::isalnum(c) != 0; }
    static bool InSet(const char* set, int c) { return c != kEnd && detail::InSet(set, c); }

private:
    const char*& cursor_;
};

// Bounded output: keeps at most count - 1 characters and a terminator, counts them all.
class Output {
public:
    Output(char* out, int count) : out_(out), count_(count) {}
    void Put(int c) {
        if (length_ < static_cast<std::int64_t>(count_) - 1) {
            out_[length_] = static_cast<char>(c);
        }
        ++length_;
    }
    // Terminates what was stored and returns the full length (saturated at INT_MAX).
    int Finish() {
        if (count_ > 0) {
            out_[length_ < count_ - 1 ? length_ : count_ - 1] = '\0';
        }
        return length_ < INT_MAX ? static_cast<int>(length_) : INT_MAX;
    }
    // For a failure: the output becomes the empty string.
    int Fail() {
        if (count_ > 0) {
            out_[0] = '\0';
        }
        return 0;
    }

private:
    char* out_;
    int count_;
    std::int64_t length_ = 0;
};

template <class Source>
int ReadIdentifierT(char* out, int count, const char* first, const char* rest, Source src) {
    Output output(out, count);
    int c = src.Take();
    if (!(Source::IsAlpha(c) || Source::InSet(first, c))) {
        src.PutBack(c);
        return output.Fail();
    }
    do {
        output.Put(c);
        c = src.Take();
    } while (Source::IsAlnum(c) || Source::InSet(rest, c));
    src.PutBack(c);
    return output.Finish();
}

template <class Source>
int ReadWordT(char* out, int count, Source src) {
    Output output(out, count);
    int c;
    while ((c = src.Take()) != Source::kEnd && !Source::IsSpace(c)) {
        output.Put(c);
    }
    src.PutBack(c);
    return output.Finish();
}

template <class Source>
int ReadUntilOneOfT(char* out, int count, const char* set, Source src) {
    Output output(out, count);
    int c;
    while ((c = src.Take()) != Source::kEnd && !Source::InSet(set, c)) {
        output.Put(c);
    }
    src.PutBack(c);
    return output.Finish();
}

// The quoted string that begins with the opening quote already taken, closing quote
// included, appended to output. False, with ScanError 4, when the input ends first.
template <class Source>
bool AppendQuotedRest(Output& output, Source& src) {
    output.Put('"');
    for (;;) {
        const int c = src.Take();
        if (c == Source::kEnd) {
            ScanError = 4;
            return false;
        }
        output.Put(c);
        if (c == '"') {
            return true;
        }
    }
}

template <class Source>
int ReadQuotedT(char* out, int count, Source src) {
    Output output(out, count);
    const int c = src.Take();
    if (c != '"') {
        src.PutBack(c);
        return output.Fail();
    }
    return AppendQuotedRest(output, src) ? output.Finish() : output.Fail();
}

template <class Source>
int ReadRawTagT(char* out, int count, Source src) {
    Output output(out, count);
    int c = src.Take();
    if (c != '<') {
        src.PutBack(c);
        return output.Fail();
    }
    output.Put(c);
    do {
        c = src.Take();
        if (c == '"') {
            if (!AppendQuotedRest(output, src)) {
                return output.Fail();
            }
            c = src.Take();  // the character right behind the quoted string
        }
        if (c == Source::kEnd) {
            ScanError = 4;
            return output.Fail();
        }
        output.Put(c);
    } while (c != '>');
    return output.Finish();
}

template <class Source>
int ReadTagT(char* out, int count, Source src) {
    if (count > 0) {
        out[0] = '\0';
    }
    int c = src.Take();
    if (c != '<') {
        src.PutBack(c);
        return 0;
    }
    auto fail = [&](int code) {
        ScanError = code;
        if (count > 0) {
            out[0] = '\0';
        }
        return 0;
    };
    // pos counts the bytes of out in use and never passes count: the readers store at most
    // count - pos - 1 characters and a terminator. An item is the string stored at pos, so a
    // zero byte inside it (from a stream, or a decoded &#0;) ends it and the list stays whole.
    int pos = 0;
    auto passStored = [&] {
        if (pos < count) {
            pos += static_cast<int>(std::strlen(out + pos)) + 1;
        }
    };
    auto storeEmpty = [&] {
        if (pos < count) {
            out[pos++] = '\0';
        }
    };
    for (;;) {
        if (src.AtEnd()) {
            return fail(4);
        }
        if (src.PeekNonSpace() == '>') {
            break;
        }
        if (ReadIdentifierT(out + pos, count - pos, TagIdentStart, TagIdentRest, src) == 0) {
            return fail(2);
        }
        passStored();
        c = src.PeekNonSpace();
        if (c == '>') {
            storeEmpty();
            break;
        }
        if (c != '=') {
            storeEmpty();
            continue;
        }
        src.Take();
        src.PeekNonSpace();
        if (ReadQuotedT(out + pos, count - pos, src) > 0) {
            if (pos < count) {
                DecodeCharRefs(DecodeEscapes(StripQuotes(out + pos, '"', '"')));
            }
        } else if (ReadUntilOneOfT(out + pos, count - pos, TagValueStop, src) == 0) {
            return fail(3);
        }
        passStored();
    }
    if (pos < count) {
        out[pos] = '\0';
        return 1;
    }
    return fail(1);
}

}  // namespace

// --- Stream scanners ---

int SkipWhileOneOf(ByteStream& stream, const char* set) {
    int c;
    do {
        c = stream.Get();
    } while (StreamSource::InSet(set, c));
    stream.Unget(c);
    return c;
}

int ReadIdentifier(char* out, int count, const char* first, const char* rest, ByteStream& stream) {
    return ReadIdentifierT(out, count, first, rest, StreamSource(stream));
}

int ReadWord(char* out, int count, ByteStream& stream) {
    return ReadWordT(out, count, StreamSource(stream));
}

int ReadUntilOneOf(char* out, int count, const char* set, ByteStream& stream) {
    return ReadUntilOneOfT(out, count, set, StreamSource(stream));
}

int ReadQuoted(char* out, int count, ByteStream& stream) {
    return ReadQuotedT(out, count, StreamSource(stream));
}

int ReadRawTag(char* out, int count, ByteStream& stream) {
    return ReadRawTagT(out, count, StreamSource(stream));
}

int ReadTag(char* out, int count, ByteStream& stream) {
    return ReadTagT(out, count, StreamSource(stream));
}

int GetLineColumn(ByteStream& stream, int* column) {
    const std::int64_t pos = stream.Tell();
    if (pos < 0) {
        if (column != nullptr) {
            *column = 0;
        }
        return 0;
    }
    stream.Rewind();
    int line = 1;
    int col = 1;
    while (stream.Tell() < pos) {
        const int c = stream.Get();
        if (c < 0) {
            line = col = 0;
            break;
        }
        if (c == '\n' || c == '\r') {
            line += line < INT_MAX ? 1 : 0;
            col = 1;
        } else {
            col += col < INT_MAX ? 1 : 0;
        }
    }
    stream.Seek(pos);
    if (column != nullptr) {
        *column = col;
    }
    return line;
}

// --- String scanners ---

int PeekNonSpaceStr(const char*& cursor) {
    while (CursorSource::IsSpace(static_cast<signed char>(*cursor))) {
        ++cursor;
    }
    return static_cast<signed char>(*cursor);
}

int SkipUntilOneOfStr(const char*& cursor, const char* set) {
    while (*cursor != '\0' && !detail::InSet(set, *cursor)) {
        ++cursor;
    }
    return static_cast<signed char>(*cursor);
}

int ReadIdentifierStr(char* out, int count, const char* first, const char* rest,
                      const char*& cursor) {
    return ReadIdentifierT(out, count, first, rest, CursorSource(cursor));
}

int ReadWordStr(char* out, int count, const char*& cursor) {
    return ReadWordT(out, count, CursorSource(cursor));
}

int ReadUntilOneOfStr(char* out, int count, const char* set, const char*& cursor) {
    return ReadUntilOneOfT(out, count, set, CursorSource(cursor));
}

int ReadQuotedStr(char* out, int count, const char*& cursor) {
    return ReadQuotedT(out, count, CursorSource(cursor));
}

int ReadRawTagStr(char* out, int count, const char*& cursor) {
    return ReadRawTagT(out, count, CursorSource(cursor));
}

int ReadTagStr(char* out, int count, const char*& cursor) {
    return ReadTagT(out, count, CursorSource(cursor));
}

int ReadHexDigitStr(const char*& cursor) {
    return detail::HexValue(CursorSource(cursor).Take());
}

int ReadHexByteStr(const char*& cursor) {
    const int high = ReadHexDigitStr(cursor);
    if (high < 0) {
        return -1;
    }
    const int low = ReadHexDigitStr(cursor);
    return low < 0 ? -1 : high * 16 + low;
}

int ReadHexWordStr(const char*& cursor) {
    const int high = ReadHexByteStr(cursor);
    if (high < 0) {
        return -1;
    }
    const int low = ReadHexByteStr(cursor);
    return low < 0 ? -1 : high * 256 + low;
}

}  // namespace tarnel
