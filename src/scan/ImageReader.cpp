#include "scan/ImageReader.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "scan/CharSets.h"

namespace tarnel {

int HexDigitValue(int c) {
    return detail::HexValue(c);
}

int PeekNonSpace(ByteStream& stream) {
    int c;
    do {
        c = stream.Get();
    } while (detail::IsImageSpace(c));
    stream.Unget(c);
    return c;
}

int SkipUntilOneOf(ByteStream& stream, const char* set) {
    int c;
    do {
        c = stream.Get();
    } while (c >= 0 && !detail::InSet(set, c));
    stream.Unget(c);
    return c;
}

int ReadHexDigit(ByteStream& stream) {
    return detail::HexValue(stream.Get());
}

int ReadHexByte(ByteStream& stream) {
    const int high = ReadHexDigit(stream);
    if (high < 0) {
        return -1;
    }
    const int low = ReadHexDigit(stream);
    if (low < 0) {
        return -1;
    }
    return high * 16 + low;
}

int ReadHexWord(ByteStream& stream) {
    const int high = ReadHexByte(stream);
    if (high < 0) {
        return -1;
    }
    const int low = ReadHexByte(stream);
    if (low < 0) {
        return -1;
    }
    return high * 256 + low;
}

namespace {

// A digit run that was read whole.
constexpr int kComplete = -2;

// Reads up to `count` hex digits into `value`, most significant first, and stops at the
// first character that is not one, consumed as ReadHexByte and ReadHexWord consume it.
// Returns kComplete, or that character (-1 at the end); `taken` counts the digits read.
int ReadDigits(ByteStream& stream, int count, int& value, int& taken) {
    value = 0;
    for (taken = 0; taken < count; ++taken) {
        const int c = stream.Get();
        const int digit = detail::HexValue(c);
        if (digit < 0) {
            return c;
        }
        value = value * 16 + digit;
    }
    return kComplete;
}

// PeekNonSpace that also counts the line ends it passes.
int PeekNonSpaceCounting(ByteStream& stream, std::uint64_t& line) {
    int c;
    for (c = stream.Get(); detail::IsImageSpace(c); c = stream.Get()) {
        line += c == '\n' ? 1 : 0;
    }
    stream.Unget(c);
    return c;
}

// What a malformed record lacked.
enum class Due { Address, Value, Lost };

// The record loop of the readers. `named(address)` is called with the address of each
// complete record; `bad(line, due, found, cause)` with each malformed record, in file
// order: `found` is the character that failed (-1: the end), and for a lost record
// `cause` is the line of the unfinished record that ran into it.
template <class Named, class Bad>
int ReadRecords(ByteStream& stream, std::uint16_t* image, std::uint32_t capacity, Named named,
                Bad bad) {
    if (image == nullptr) {
        capacity = 0;
    }
    int highest = -1;
    std::uint64_t line = 1;
    for (int c = PeekNonSpaceCounting(stream, line); c >= 0;
         c = PeekNonSpaceCounting(stream, line)) {
        // Only the "@" is taken here: any other first character, a zero byte included, is
        // left to the skip below, which also stops at a zero byte.
        if (c == '@') {
            stream.Get();
            const std::uint64_t recordLine = line;
            int address = 0;
            int value = 0;
            int taken = 0;
            Due due = Due::Address;
            int failed = ReadDigits(stream, 6, address, taken);
            std::uint64_t valueLine = line;
            if (failed == kComplete) {
                due = Due::Value;
                PeekNonSpaceCounting(stream, line);
                valueLine = line;
                failed = ReadDigits(stream, 4, value, taken);
            }
            if (failed == kComplete) {
                const auto at = static_cast<std::uint32_t>(address);
                if (at < capacity) {
                    image[at] = static_cast<std::uint16_t>(value);
                }
                named(at);
                highest = std::max(highest, address);
            } else {
                bad(recordLine, due, failed, recordLine);
                if (failed == '\n') {
                    // The skip below runs over the whole next line: a record there is lost.
                    ++line;
                    int next = stream.Get();
                    while (next != '\n' && detail::IsImageSpace(next)) {
                        next = stream.Get();
                    }
                    stream.Unget(next);
                    if (next == '@') {
                        bad(line, Due::Lost, '@', recordLine);
                    }
                } else if (failed == '@' && taken == 0 && valueLine != recordLine) {
                    // An address without a value: the next record's "@" was taken for
                    // the value, and the skip below takes the rest of its line.
                    bad(line, Due::Lost, '@', recordLine);
                }
            }
        }
        // The rest of the line, record or not.
        if (SkipUntilOneOf(stream, "\n") == '\n') {
            ++line;
        }
        stream.Get();
    }
    return highest;
}

// The character that stood where a digit was due, for a person.
std::string Found(int c) {
    if (c < 0) {
        return "the end of the file";
    }
    if (c == '\n') {
        return "a line end";
    }
    if (c == ' ' || c == '\t') {
        return c == ' ' ? "a blank" : "a tab";
    }
    if (c > 0x20 && c < 0x7F) {
        return std::string("\"") + static_cast<char>(c) + "\"";
    }
    char text[16];
    std::snprintf(text, sizeof text, "byte 0x%02X", static_cast<unsigned>(c));
    return text;
}

std::string Describe(Due due, int found, std::uint64_t cause) {
    switch (due) {
        case Due::Address:
            return "six hex digits of address expected after \"@\", found " + Found(found);
        case Due::Value:
            return "four hex digits of value expected, found " + Found(found);
        case Due::Lost:
            break;
    }
    return "lost: the unfinished record on line " + std::to_string(cause) +
           " ran on into this line";
}

// Addresses have 24 bits.
constexpr std::uint32_t kAddressSpace = 1u << 24;

}  // namespace

int ReadWordImage(ByteStream& stream, std::uint16_t* image, std::uint32_t capacity) {
    return ReadRecords(
        stream, image, capacity, [](std::uint32_t) {},
        [](std::uint64_t, Due, int, std::uint64_t) {});
}

ImageReadResult ReadWordImageCounted(ByteStream& stream, std::uint16_t* image,
                                     std::uint32_t capacity) {
    ImageReadResult result;
    // One bit per address: below the capacity from the start, above it (at most 2 MB) only
    // when one is met.
    const std::uint32_t first = image == nullptr ? 0 : std::min(capacity, kAddressSpace);
    std::vector<bool> seenInside(first);
    std::vector<bool> seenBeyond;
    const auto named = [&](std::uint32_t address) {
        if (result.lowest < 0 || address < static_cast<std::uint32_t>(result.lowest)) {
            result.lowest = static_cast<int>(address);
        }
        if (address < first) {
            if (!seenInside[address]) {
                seenInside[address] = true;
                ++result.wordsInside;
            }
            return;
        }
        if (seenBeyond.empty()) {
            seenBeyond.resize(kAddressSpace - first);
        }
        if (!seenBeyond[address - first]) {
            seenBeyond[address - first] = true;
            ++result.wordsBeyond;
        }
    };
    const auto bad = [&](std::uint64_t line, Due due, int found, std::uint64_t cause) {
        ++result.malformedCount;
        if (result.malformed.size() < kListedMalformed) {
            result.malformed.push_back({line, Describe(due, found, cause)});
        }
    };
    result.highest = ReadRecords(stream, image, capacity, named, bad);
    return result;
}

int ReadWordImage(const std::string& path, std::uint16_t* image, std::uint32_t capacity) {
    ByteStream stream;
    if (!stream.OpenRegularFile(path, StreamMode::Text).empty()) {
        return -1;
    }
    const int highest = ReadWordImage(stream, image, capacity);
    return stream.Error() ? -1 : highest;
}

}  // namespace tarnel
