#include "scan/ImageReader.h"

#include <algorithm>
#include <optional>
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

struct Record {
    int address;
    int value;
};

// The rest of a record after its "@": six hex digits of address, then, after any white
// space (line ends included), four of value. Nothing when a digit is missing.
std::optional<Record> ReadRecordBody(ByteStream& stream) {
    const int high = ReadHexWord(stream);
    if (high < 0) {
        return std::nullopt;
    }
    const int low = ReadHexByte(stream);
    if (low < 0) {
        return std::nullopt;
    }
    PeekNonSpace(stream);
    const int value = ReadHexWord(stream);
    if (value < 0) {
        return std::nullopt;
    }
    return Record{high * 256 + low, value};
}

// The record loop of the readers; `beyond` is called with each address at or above
// capacity that a complete record names.
template <class Beyond>
int ReadRecords(ByteStream& stream, std::uint16_t* image, std::uint32_t capacity, Beyond beyond) {
    if (image == nullptr) {
        capacity = 0;
    }
    int highest = -1;
    for (int c = PeekNonSpace(stream); c >= 0; c = PeekNonSpace(stream)) {
        // Only the "@" is taken here: any other first character, a zero byte included, is
        // left to the skip below, which also stops at a zero byte.
        if (c == '@') {
            stream.Get();
            if (const auto record = ReadRecordBody(stream)) {
                const auto address = static_cast<std::uint32_t>(record->address);
                if (address < capacity) {
                    image[address] = static_cast<std::uint16_t>(record->value);
                } else {
                    beyond(address);
                }
                highest = std::max(highest, record->address);
            }
        }
        // The rest of the line, record or not. When a failed digit was the line feed itself,
        // this runs on to the end of the following line.
        SkipUntilOneOf(stream, "\n");
        stream.Get();
    }
    return highest;
}

// Addresses have 24 bits.
constexpr std::uint32_t kAddressSpace = 1u << 24;

}  // namespace

int ReadWordImage(ByteStream& stream, std::uint16_t* image, std::uint32_t capacity) {
    return ReadRecords(stream, image, capacity, [](std::uint32_t) {});
}

ImageReadResult ReadWordImageCounted(ByteStream& stream, std::uint16_t* image,
                                     std::uint32_t capacity) {
    ImageReadResult result;
    // One bit per address above the capacity (at most 2 MB), made only when one is met.
    std::vector<bool> seen;
    const std::uint32_t first = image == nullptr ? 0 : std::min(capacity, kAddressSpace);
    result.highest = ReadRecords(stream, image, capacity, [&](std::uint32_t address) {
        if (seen.empty()) {
            seen.resize(kAddressSpace - first);
        }
        if (!seen[address - first]) {
            seen[address - first] = true;
            ++result.wordsBeyond;
        }
    });
    return result;
}

int ReadWordImage(const std::string& path, std::uint16_t* image, std::uint32_t capacity) {
    ByteStream stream;
    if (!stream.Open(path, StreamMode::Text)) {
        return -1;
    }
    return ReadWordImage(stream, image, capacity);
}

}  // namespace tarnel
