// The token and tag readers over any bytes and any capacity: nothing written outside the
// capacity, stored text cut by the bounded-output rule, a packed list always terminated on
// success, ScanError codes as documented, and the same outcome from both families and from
// every stream shape.

#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "scan/TextScanner.h"

namespace {

using namespace tarnel;
using fuzz::Guarded;
using fuzz::Input;

using StreamFn = int (*)(char*, int, ByteStream&);
using StringFn = int (*)(char*, int, const char*&);

struct Reader {
    StreamFn stream;
    StringFn string;
    char opener;      // the character a token must begin with, or 0 for any
    bool copiesText;  // the stored text is the consumed input unchanged
};

const Reader kReaders[] = {
    {ReadTag, ReadTagStr, '<', false},
    {ReadRawTag, ReadRawTagStr, '<', true},
    {ReadQuoted, ReadQuotedStr, '"', true},
    {[](char* o, int n, ByteStream& s) { return ReadWord(o, n, s); },
     [](char* o, int n, const char*& c) { return ReadWordStr(o, n, c); }, 0, true},
    {[](char* o, int n, ByteStream& s) { return ReadUntilOneOf(o, n, TagValueStop, s); },
     [](char* o, int n, const char*& c) { return ReadUntilOneOfStr(o, n, TagValueStop, c); }, 0,
     true},
    {[](char* o, int n, ByteStream& s) {
         return ReadIdentifier(o, n, TagIdentStart, TagIdentRest, s);
     },
     [](char* o, int n, const char*& c) {
         return ReadIdentifierStr(o, n, TagIdentStart, TagIdentRest, c);
     },
     0, true},
};

struct Outcome {
    int result;
    int scanError;
    std::string out;        // the whole capacity
    std::int64_t consumed;  // stream position or cursor offset afterwards
    std::string rest;       // what is left to read

    bool operator==(const Outcome&) const = default;
};

Outcome RunStream(StreamFn read, ByteStream& stream, int count) {
    Guarded<char> out(count > 0 ? static_cast<std::size_t>(count) : 0, '\xCC', '\xDD');
    ScanError = 0;
    Outcome o{read(out.Data(), count, stream), ScanError, {}, stream.Tell(), {}};
    out.CheckGuards();
    o.out.assign(out.Data(), out.Size());
    for (int c; (c = stream.Get()) >= 0;) {
        o.rest.push_back(static_cast<char>(c));
    }
    return o;
}

Outcome RunString(StringFn read, const std::string& text, int count) {
    Guarded<char> out(count > 0 ? static_cast<std::size_t>(count) : 0, '\xCC', '\xDD');
    const char* cursor = text.c_str();
    ScanError = 0;
    Outcome o{read(out.Data(), count, cursor), ScanError, {}, cursor - text.c_str(), {}};
    out.CheckGuards();
    FUZZ_CHECK(cursor >= text.c_str() && cursor <= text.c_str() + std::strlen(text.c_str()));
    o.out.assign(out.Data(), out.Size());
    o.rest = cursor;
    return o;
}

// A packed name/value list that ends with its empty name inside the first count bytes.
bool ListTerminated(const char* list, int count) {
    int pos = 0;
    for (int item = 0;; ++item) {
        if (pos >= count) {
            return false;
        }
        const void* zero = std::memchr(list + pos, 0, static_cast<std::size_t>(count - pos));
        if (zero == nullptr) {
            return false;
        }
        const int length = static_cast<int>(static_cast<const char*>(zero) - (list + pos));
        if (length == 0 && item % 2 == 0) {
            return true;
        }
        pos += length + 1;
    }
}

// Invariants of one outcome over raw bytes read by a binary stream or a cursor.
void CheckOutcome(const Reader& reader, const std::string& input, int count, const Outcome& o) {
    const bool opens = !input.empty() && (reader.opener == 0 || input[0] == reader.opener);
    FUZZ_CHECK(o.result >= 0);
    FUZZ_CHECK(o.consumed >= 0 && o.consumed <= static_cast<std::int64_t>(input.size()));
    if (count > 0 && (o.result == 0 || reader.copiesText)) {
        // Failure and absence leave the empty string; a copy is cut at count - 1.
        const int stored = o.result < count - 1 ? o.result : count - 1;
        FUZZ_CHECK(o.out[static_cast<std::size_t>(stored)] == '\0');
    }
    if (reader.stream == ReadTag) {
        FUZZ_CHECK(o.result == 0 || o.result == 1);
        if (o.result == 1) {
            FUZZ_CHECK(o.scanError == 0);
            FUZZ_CHECK(ListTerminated(o.out.data(), count));
            const char* found = FindValue(o.out.data(), input.c_str() + 1, nullptr);
            FUZZ_CHECK(found == nullptr ||
                       (found > o.out.data() && found < o.out.data() + o.out.size()));
            FUZZ_CHECK(input[static_cast<std::size_t>(o.consumed)] == '>');  // left unread
        } else if (opens) {
            FUZZ_CHECK(o.scanError >= 1 && o.scanError <= 4);
        }
    } else if (o.result > 0) {
        FUZZ_CHECK(opens);
        FUZZ_CHECK(o.scanError == 0);
        FUZZ_CHECK(o.consumed == o.result);  // the token is exactly what was consumed
        const std::size_t stored =
            static_cast<std::size_t>(o.result < count ? o.result : count - 1);
        if (count > 0) {
            FUZZ_CHECK(std::memcmp(o.out.data(), input.data(), stored) == 0);
        }
    } else if (opens && reader.opener != 0) {
        FUZZ_CHECK(o.scanError == 4);  // the only failure of the quoted and raw readers
    }
    if (!opens || (o.result == 0 && o.scanError == 0)) {
        FUZZ_CHECK(o.consumed == 0);  // an absent token consumes nothing
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const int count = static_cast<int>(in.Byte() % 80) - 2;
    const std::size_t bufferSize = 1 + in.Byte() % 8;
    const std::string raw = in.Rest();
    const std::string text = fuzz::TextView(raw);
    const std::string& path = fuzz::ScratchFile::Get().Write(raw);
    const bool hasZero = raw.find('\0') != std::string::npos;

    for (const Reader& reader : kReaders) {
        ByteStream memory;
        memory.OpenMemory(raw.data(), raw.size(), StreamMode::Binary);
        const Outcome binary = RunStream(reader.stream, memory, count);
        CheckOutcome(reader, raw, count, binary);

        // A file read through a tiny buffer gives the same outcome as memory.
        ByteStream file;
        FUZZ_CHECK(file.Open(path, StreamMode::Binary, bufferSize));
        FUZZ_CHECK(RunStream(reader.stream, file, count) == binary);

        // The string family mirrors the stream family; it ends at the first zero byte.
        const Outcome string = RunString(reader.string, raw, count);
        if (!hasZero) {
            FUZZ_CHECK(string == binary);
        } else {
            CheckOutcome(reader, raw.c_str(), count, string);
        }

        // A text-mode stream reads as a binary stream over the text it delivers; positions
        // differ (they count the dropped bytes), what remains does not.
        ByteStream textStream;
        textStream.OpenMemory(raw.data(), raw.size(), StreamMode::Text);
        Outcome viaText = RunStream(reader.stream, textStream, count);
        ByteStream viewStream;
        viewStream.OpenMemory(text.data(), text.size(), StreamMode::Binary);
        Outcome viaView = RunStream(reader.stream, viewStream, count);
        viaText.consumed = viaView.consumed = 0;
        FUZZ_CHECK(viaText == viaView);
    }
    return 0;
}
