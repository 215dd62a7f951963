#include "scan/ImageReader.h"

#include "scan/CharSets.h"

namespace tarnel {

int HexDigitValue(int c) { return detail::HexValue(c); }

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

int ReadHexDigit(ByteStream& stream) { return detail::HexValue(stream.Get()); }

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

int ReadWordImage(ByteStream& stream, std::uint16_t* image, std::uint32_t capacity) {
    if (image == nullptr) {
        capacity = 0;
    }
    int highest = -1;
    for (;;) {
        const int c = PeekNonSpace(stream);
        if (c < 0) {
            break;
        }
        if (c == '@') {
            stream.Get();
            const int high = ReadHexWord(stream);
            const int low = high < 0 ? -1 : ReadHexByte(stream);
            if (low >= 0) {
                const int address = high * 256 + low;
                PeekNonSpace(stream);  // the value may stand after blanks or on a later line
                const int value = ReadHexWord(stream);
                if (value >= 0) {
                    if (static_cast<std::uint32_t>(address) < capacity) {
                        image[address] = static_cast<std::uint16_t>(value);
                    }
                    if (address > highest) {
                        highest = address;
                    }
                }
            }
        }
        // The rest of the line, record or not. When a failed digit was the line feed itself,
        // this runs on to the end of the following line.
        SkipUntilOneOf(stream, "\n");
        stream.Get();
    }
    return highest;
}

int ReadWordImage(const std::string& path, std::uint16_t* image, std::uint32_t capacity) {
    ByteStream stream;
    if (!stream.Open(path, StreamMode::Text)) {
        return -1;
    }
    return ReadWordImage(stream, image, capacity);
}

}  // namespace tarnel
