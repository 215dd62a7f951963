// One reader of a byte-addressed format, chosen when the target is built (FUZZ_FORMAT names
// its row in the table of formats), under two kinds of input:
// - any bytes as a file: the reader never writes outside the capacity, never stores a word
//   above the highest address it returns, and reads alike from memory and from a file
//   through a buffer small enough to refill inside every record;
// - an image made from the input and written in the format by the plain writers below: it
//   reads back to exactly the words that a plain model lays the image's bytes into.

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "scan/ImageFormats.h"

namespace {

using namespace tarnel;
using fuzz::Guarded;
using fuzz::Input;

constexpr std::uint16_t kFill = 0xA5A5;
constexpr std::uint16_t kGuard = 0x5A5A;

struct Chunk {
    std::uint64_t address;
    std::string bytes;
};

std::string HexPairs(const std::string& bytes) {
    std::string text;
    for (unsigned char b : bytes) {
        text += "0123456789ABCDEF"[b >> 4];
        text += "0123456789ABCDEF"[b & 15];
    }
    return text;
}

std::string Byte(unsigned value) {
    return std::string(1, static_cast<char>(value & 0xFF));
}

// A record of `body` with the checksum that makes its bytes sum to 0.
std::string IhexRecord(const std::string& body) {
    unsigned sum = 0;
    for (unsigned char b : body) {
        sum += b;
    }
    return ":" + HexPairs(body + Byte(0x100 - (sum & 0xFF))) + "\r\n";
}

std::string WriteIhex(const std::vector<Chunk>& chunks) {
    std::string text;
    for (const Chunk& c : chunks) {
        for (std::size_t at = 0; at < c.bytes.size(); at += 16) {
            const std::uint64_t a = c.address + at;
            text +=
                IhexRecord(Byte(2) + Byte(0) + Byte(0) + Byte(4) + Byte(a >> 24) + Byte(a >> 16));
            const std::string data = c.bytes.substr(at, 16);
            text += IhexRecord(Byte(data.size()) + Byte(a >> 8) + Byte(a) + Byte(0) + data);
        }
    }
    return text + ":00000001FF\n";
}

std::string SrecRecord(char type, const std::string& body) {
    unsigned sum = body.size() + 1;
    for (unsigned char b : body) {
        sum += b;
    }
    return std::string("S") + type + HexPairs(Byte(body.size() + 1) + body + Byte(~sum)) + "\n";
}

std::string WriteSrec(const std::vector<Chunk>& chunks) {
    std::string text = SrecRecord('0', std::string(2, '\0') + "fuzz");
    unsigned records = 0;
    for (const Chunk& c : chunks) {
        for (std::size_t at = 0; at < c.bytes.size(); at += 16, ++records) {
            const std::uint64_t a = c.address + at;
            text += SrecRecord('3', Byte(a >> 24) + Byte(a >> 16) + Byte(a >> 8) + Byte(a) +
                                        c.bytes.substr(at, 16));
        }
    }
    text += SrecRecord('5', Byte(records >> 8) + Byte(records));
    return text + SrecRecord('7', std::string(4, '\0'));
}

// One loadable segment per chunk, in a 32- or 64-bit file of either byte order.
std::string WriteElf(const std::vector<Chunk>& chunks, bool is64, bool big) {
    const std::size_t header = is64 ? 64 : 52;
    const std::size_t entry = is64 ? 56 : 32;
    const std::size_t word = is64 ? 8 : 4;
    std::string file(header + entry * chunks.size(), '\0');
    auto put = [&](std::size_t at, std::uint64_t value, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            file[big ? at + size - 1 - i : at + i] = static_cast<char>(value >> (8 * i));
        }
    };
    file[0] = 0x7F;
    file[1] = 'E';
    file[2] = 'L';
    file[3] = 'F';
    file[4] = is64 ? 2 : 1;
    file[5] = big ? 2 : 1;
    put(is64 ? 32 : 28, header, word);
    put(is64 ? 54 : 42, entry, 2);
    put(is64 ? 56 : 44, chunks.size(), 2);
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const std::size_t at = header + i * entry;
        put(at, 1, 4);
        put(at + (is64 ? 8 : 4), file.size(), word);
        put(at + (is64 ? 24 : 12), chunks[i].address, word);
        put(at + (is64 ? 32 : 16), chunks[i].bytes.size(), word);
        file += chunks[i].bytes;
    }
    return file;
}

struct Expected {
    std::vector<std::uint16_t> image;
    int lowest = -1;
    int highest = -1;
    std::uint32_t inside = 0;
    std::uint32_t beyond = 0;
};

// Byte address B is word B / 2; the even byte is the low half unless the order is big.
Expected Model(const std::vector<Chunk>& chunks, std::uint32_t capacity, ByteOrder order) {
    std::map<std::uint64_t, unsigned char> bytes;
    for (const Chunk& c : chunks) {
        for (std::size_t i = 0; i < c.bytes.size(); ++i) {
            bytes[c.address + i] = static_cast<unsigned char>(c.bytes[i]);
        }
    }
    Expected want{std::vector<std::uint16_t>(capacity, kFill)};
    for (auto it = bytes.begin(); it != bytes.end(); std::advance(it, 2)) {
        const std::uint64_t w = it->first / 2;
        const unsigned even = it->second;
        const unsigned odd = std::next(it)->second;
        const auto value = static_cast<std::uint16_t>(order == ByteOrder::Little ? even | odd << 8
                                                                                 : even << 8 | odd);
        if (w < capacity) {
            want.image[w] = value;
            ++want.inside;
        } else {
            ++want.beyond;
        }
        if (want.lowest < 0) {
            want.lowest = static_cast<int>(w);
        }
        want.highest = static_cast<int>(w);
    }
    return want;
}

struct Got {
    ImageFormatResult result;
    std::vector<std::uint16_t> image;
};

Got ReadWith(const ImageFormatInfo& info, ByteStream& stream, const ImageReadOptions& options,
             std::uint32_t capacity) {
    Guarded<std::uint16_t> image(capacity, kFill, kGuard);
    Got got{info.read(stream, options, image.Data(), capacity), {}};
    image.CheckGuards();
    got.image.assign(image.Data(), image.Data() + capacity);
    return got;
}

bool Same(const Got& a, const Got& b) {
    if (a.result.fault || b.result.fault) {
        return a.result.fault && b.result.fault &&
               a.result.fault->place.value == b.result.fault->place.value &&
               a.result.fault->reason == b.result.fault->reason;
    }
    return a.result.read.highest == b.result.read.highest &&
           a.result.read.wordsBeyond == b.result.read.wordsBeyond && a.image == b.image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ImageFormatInfo* info = FindImageFormat(FUZZ_FORMAT);
    FUZZ_CHECK(info != nullptr);
    Input in(data, size);
    const std::uint8_t flags = in.Byte();
    const std::uint32_t capacity = in.Byte() % 72;
    const std::size_t bufferSize = 1 + in.Byte() % 16;
    ImageReadOptions options;
    options.byteOrder = flags & 2 ? ByteOrder::Big : ByteOrder::Little;

    if ((flags & 1) == 0) {
        options.base = in.Byte() * 2u + (flags & 4 ? 1 : 0);
        const std::string raw = in.Rest();
        ByteStream memory;
        memory.OpenMemory(raw.data(), raw.size(), info->mode);
        const Got got = ReadWith(*info, memory, options, capacity);
        if (!got.result.fault) {
            for (std::uint32_t a = 0; a < capacity; ++a) {
                FUZZ_CHECK(got.image[a] == kFill || static_cast<int>(a) <= got.result.read.highest);
            }
        }
        const std::string& path = fuzz::ScratchFile::Get().Write(raw);
        ByteStream file;
        FUZZ_CHECK(file.Open(path, info->mode, bufferSize));
        FUZZ_CHECK(Same(got, ReadWith(*info, file, options, capacity)));
        return 0;
    }

    // An image of whole words, some of them beyond the capacity, chunks in any order.
    std::vector<Chunk> chunks;
    while (chunks.size() < 32) {
        const std::uint8_t where = in.Byte();
        const std::uint8_t high = in.Byte();
        std::string bytes = in.Take(2 * (1 + in.Byte() % 24));
        if (bytes.empty()) {
            break;
        }
        bytes.resize(bytes.size() + bytes.size() % 2, '\0');
        chunks.push_back({2u * (where % 96) + (high & 0x80 ? (high & 0x7Fu) << 16 : 0), bytes});
    }
    if (chunks.empty()) {
        return 0;
    }
    std::string file;
    switch (info->format) {
        case ImageFormat::IntelHex:
            file = WriteIhex(chunks);
            break;
        case ImageFormat::SRecord:
            file = WriteSrec(chunks);
            break;
        case ImageFormat::Elf:
            file = WriteElf(chunks, flags & 8, flags & 16);
            break;
        default:  // raw binary: the chunks one after the other from the first one's address
            options.base = chunks[0].address;
            for (std::size_t i = 1; i < chunks.size(); ++i) {
                chunks[i].address = chunks[i - 1].address + chunks[i - 1].bytes.size();
            }
            for (const Chunk& c : chunks) {
                file += c.bytes;
            }
            break;
    }
    const Expected want = Model(chunks, capacity, options.byteOrder);
    const std::string& path = fuzz::ScratchFile::Get().Write(file);
    ByteStream stream;
    FUZZ_CHECK(stream.Open(path, info->mode, bufferSize));
    const Got got = ReadWith(*info, stream, options, capacity);
    if (got.result.fault) {
        std::fprintf(stderr, "%s: %s\n", DescribePlace(got.result.fault->place).c_str(),
                     got.result.fault->reason.c_str());
    }
    FUZZ_CHECK(!got.result.fault);
    FUZZ_CHECK(got.image == want.image);
    FUZZ_CHECK(got.result.read.highest == want.highest);
    FUZZ_CHECK(got.result.read.lowest == want.lowest);
    FUZZ_CHECK(got.result.read.wordsInside == want.inside);
    FUZZ_CHECK(got.result.read.wordsBeyond == want.beyond);
    return 0;
}
