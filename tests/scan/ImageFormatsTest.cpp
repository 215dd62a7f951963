// The readers of the byte-addressed formats and the rule that lays their bytes into words.
// Record lines are written literally (as objcopy writes them) or by the helpers below, which
// compute each format's checksum the way its definition states it.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "scan/ImageFormats.h"

namespace tarnel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Words = std::map<std::uint32_t, std::uint16_t>;

constexpr std::uint16_t kFill = 0xA5A5;
constexpr std::uint32_t kCapacity = 0x8000;

std::string HexPairs(const Bytes& bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        text += "0123456789ABCDEF"[b >> 4];
        text += "0123456789ABCDEF"[b & 15];
    }
    return text;
}

// ":" record: length, offset, type, data, and the checksum that makes the sum 0.
std::string Ihex(unsigned type, unsigned offset, const Bytes& data) {
    Bytes all{static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(offset >> 8),
              static_cast<std::uint8_t>(offset), static_cast<std::uint8_t>(type)};
    all.insert(all.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::uint8_t b : all) {
        sum += b;
    }
    all.push_back(static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
    return ":" + HexPairs(all) + "\n";
}

// "S" record: count, address of `addressBytes`, data, ones' complement checksum.
std::string Srec(int type, unsigned addressBytes, std::uint32_t address, const Bytes& data) {
    Bytes all{static_cast<std::uint8_t>(addressBytes + data.size() + 1)};
    for (unsigned i = addressBytes; i-- > 0;) {
        all.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    }
    all.insert(all.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::uint8_t b : all) {
        sum += b;
    }
    all.push_back(static_cast<std::uint8_t>(~sum));
    return "S" + std::to_string(type) + HexPairs(all) + "\n";
}

// A minimal ELF file: header, program headers, then each segment's bytes.
struct Segment {
    std::uint32_t type;
    std::uint64_t paddr;
    Bytes bytes;
};
std::string Elf(bool is64, bool big, const std::vector<Segment>& segments) {
    const std::size_t header = is64 ? 64 : 52;
    const std::size_t entry = is64 ? 56 : 32;
    std::string file(header + entry * segments.size(), '\0');
    auto put = [&](std::size_t at, std::uint64_t value, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            file[big ? at + size - 1 - i : at + i] = static_cast<char>(value >> (8 * i));
        }
    };
    file.replace(0, 4,
                 "\x7F"
                 "ELF");
    file[4] = is64 ? 2 : 1;
    file[5] = big ? 2 : 1;
    file[6] = 1;
    const std::size_t word = is64 ? 8 : 4;
    put(is64 ? 32 : 28, header, word);  // e_phoff
    put(is64 ? 54 : 42, entry, 2);
    put(is64 ? 56 : 44, segments.size(), 2);
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const std::size_t at = header + i * entry;
        put(at, segments[i].type, 4);
        put(at + (is64 ? 8 : 4), file.size(), word);                     // p_offset
        put(at + (is64 ? 24 : 12), segments[i].paddr, word);             // p_paddr
        put(at + (is64 ? 16 : 8), 0xDEAD0000, word);                     // p_vaddr: not used
        put(at + (is64 ? 32 : 16), segments[i].bytes.size(), word);      // p_filesz
        put(at + (is64 ? 40 : 20), segments[i].bytes.size() + 6, word);  // p_memsz
        file.append(segments[i].bytes.begin(), segments[i].bytes.end());
    }
    return file;
}

struct Read {
    ImageFormatResult result;
    std::vector<std::uint16_t> image;
};

Read ReadAs(ImageFormat format, const std::string& text, ImageReadOptions options = {},
            std::uint32_t capacity = kCapacity) {
    Read read{{}, std::vector<std::uint16_t>(capacity, kFill)};
    ByteStream stream;
    stream.OpenMemory(text.data(), text.size(), FormatInfo(format).mode);
    read.result = FormatInfo(format).read(stream, options, read.image.data(), capacity);
    return read;
}

// The words the image holds besides the fill.
Words Named(const std::vector<std::uint16_t>& image) {
    Words words;
    for (std::uint32_t a = 0; a < image.size(); ++a) {
        if (image[a] != kFill) {
            words[a] = image[a];
        }
    }
    return words;
}

// Four words at word 0x100 (byte 0x200) as a toolchain lays them out, low byte first.
const Bytes kProgram{0x34, 0x12, 0xCD, 0xAB, 0x01, 0x00, 0xEE, 0xFF};
const Words kProgramWords{{0x100, 0x1234}, {0x101, 0xABCD}, {0x102, 0x0001}, {0x103, 0xFFEE}};

struct GoodCase {
    const char* name;
    ImageFormat format;
    std::string text;
    Words words;
    int highest;
    std::uint32_t beyond = 0;
    ImageReadOptions options = {};
};

TEST(ImageFormats, ReadWellFormedFilesIntoTheSameWords) {
    const Bytes two{0x11, 0x22, 0x33, 0x44};
    const GoodCase cases[] = {
        {"ihex as objcopy writes it", ImageFormat::IntelHex,
         ":080200003412CDAB0100EEFF4A\n:0400000300000200F7\n:00000001FF\n", kProgramWords, 0x103},
        {"ihex in lower case, CR LF, blanks and a closing Ctrl-Z", ImageFormat::IntelHex,
         "  :080200003412cdab0100eeff4a \r\n\r\n:00000001ff\r\n\x1a", kProgramWords, 0x103},
        {"ihex: nothing after the end record is read", ImageFormat::IntelHex,
         ":080200003412CDAB0100EEFF4A\n:00000001FF\ngarbage\n", kProgramWords, 0x103},
        {"ihex: a later record wins byte by byte",
         ImageFormat::IntelHex,
         ":080200003412CDAB0100EEFF4A\n" + Ihex(0, 0x203, {0x99, 0x88}) + ":00000001FF\n",
         {{0x100, 0x1234}, {0x101, 0x99CD}, {0x102, 0x0088}, {0x103, 0xFFEE}},
         0x103},
        {"ihex: a linear base runs on past 64 KiB, beyond the flash",
         ImageFormat::IntelHex,
         Ihex(4, 0, {0x00, 0x01}) + Ihex(0, 0xFFFE, two) + ":00000001FF\n",
         {},
         0x10000,
         2},
        {"ihex: a segment base wraps its offsets at 64 KiB",
         ImageFormat::IntelHex,
         Ihex(2, 0, {0x10, 0x00}) + Ihex(0, 0xFFFE, two) + ":00000001FF\n",
         {},
         0xFFFF,
         2},
        {"srec as objcopy writes it", ImageFormat::SRecord,
         "S0090000772E73726563A4\nS10B02003412CDAB0100EEFF46\nS9030200FA\n", kProgramWords, 0x103},
        {"srec with 24- and 32-bit addresses and a count", ImageFormat::SRecord,
         Srec(2, 3, 0x200, {0x34, 0x12, 0xCD, 0xAB}) + Srec(3, 4, 0x204, {0x01, 0x00, 0xEE, 0xFF}) +
             Srec(5, 2, 2, {}) + Srec(7, 4, 0, {}),
         kProgramWords, 0x103},
        {"bin at a base",
         ImageFormat::Binary,
         std::string(kProgram.begin(), kProgram.end()),
         kProgramWords,
         0x103,
         0,
         {.base = 0x200}},
        {"bin, high byte first",
         ImageFormat::Binary,
         "\x12\x34\xAB\xCD",
         {{0x100, 0x1234}, {0x101, 0xABCD}},
         0x101,
         0,
         {ByteOrder::Big, 0x200}},
    };
    for (const GoodCase& tc : cases) {
        SCOPED_TRACE(tc.name);
        const Read read = ReadAs(tc.format, tc.text, tc.options);
        ASSERT_FALSE(read.result.fault)
            << DescribePlace(read.result.fault->place) << ": " << read.result.fault->reason;
        EXPECT_EQ(Named(read.image), tc.words);
        EXPECT_EQ(read.result.read.highest, tc.highest);
        EXPECT_EQ(read.result.read.wordsBeyond, tc.beyond);
    }
}

TEST(ImageFormats, ElfSegmentsOfEveryClassAndByteOrderGiveTheirFileBytesAtThePhysicalAddress) {
    for (bool is64 : {false, true}) {
        for (bool big : {false, true}) {
            SCOPED_TRACE(std::string(is64 ? "64" : "32") + (big ? " big" : " little"));
            const std::string file = Elf(is64, big,
                                         {{1, 0x200, {0x34, 0x12, 0xCD, 0xAB}},
                                          {4, 0x100, {0x55, 0x55}},  // a note: not loaded
                                          {1, 0x204, {0x01, 0x00, 0xEE, 0xFF}},
                                          {1, 0x300, {}}});  // no file bytes: nothing
            const Read read = ReadAs(ImageFormat::Elf, file);
            ASSERT_FALSE(read.result.fault) << read.result.fault->reason;
            EXPECT_EQ(Named(read.image), kProgramWords);
            EXPECT_EQ(read.result.read.highest, 0x103);
        }
    }
}

struct BadCase {
    const char* name;
    ImageFormat format;
    std::string text;
    std::string place;
    std::string reason;  // a part of the reason given
    ImageReadOptions options = {};
};

TEST(ImageFormats, MalformedFilesAreRefusedWithWhereAndWhy) {
    const std::string end = ":00000001FF\n";
    const std::string s9 = "S9030000FC\n";
    const std::string elfOk = Elf(false, false, {{1, 0x200, {1, 2, 3, 4}}});
    const BadCase cases[] = {
        {"ihex: bad checksum", ImageFormat::IntelHex, ":080200003412CDAB0100EEFF4B\n" + end,
         "line 1", "checksum is 4B, the record's bytes need 4A"},
        {"ihex: cut inside a record", ImageFormat::IntelHex,
         Ihex(0, 0, {1, 2}) + ":080200003412CD\n", "line 2", "length field says 8"},
        {"ihex: no end record", ImageFormat::IntelHex, Ihex(0, 0, {1, 2}), "line 1",
         "ends without an end-of-file record"},
        {"ihex: unknown record type", ImageFormat::IntelHex, Ihex(6, 0, {}) + end, "line 1",
         "unknown record type 06"},
        {"ihex: not a hex digit", ImageFormat::IntelHex, "\n:0200000001G2FB\n" + end, "line 2",
         "'G' at column 12"},
        {"ihex: a line that is not a record", ImageFormat::IntelHex,
         Ihex(0, 0, {1, 2}) + "; comment\n" + end, "line 2", "starts with ':'"},
        {"ihex: odd byte count at the end", ImageFormat::IntelHex,
         Ihex(0, 0, {1, 2}) + Ihex(0, 2, {3}) + end, "line 2", "ends at odd byte address 0x2"},
        {"ihex: data at an odd start", ImageFormat::IntelHex, Ihex(0, 0x201, {1, 2}) + end,
         "line 1", "starts at odd byte address 0x201"},
        {"ihex: an address record of the wrong length", ImageFormat::IntelHex,
         Ihex(4, 0, {1}) + end, "line 1", "type 04 holds 1 data bytes, not 2"},
        {"ihex: data beyond 24-bit word addresses", ImageFormat::IntelHex,
         Ihex(4, 0, {0x02, 0x00}) + Ihex(0, 0, {1, 2}) + end, "line 2",
         "byte address 0x2000000 (word 0x1000000) lies beyond"},
        {"srec: bad checksum", ImageFormat::SRecord, "S10B02003412CDAB0100EEFF47\n" + s9, "line 1",
         "checksum is 47, the record's bytes need 46"},
        {"srec: no end record", ImageFormat::SRecord, Srec(1, 2, 0, {1, 2}), "line 1",
         "ends without an end record"},
        {"srec: cut inside a record", ImageFormat::SRecord, "S10B02003412CD\n" + s9, "line 1",
         "count says 11 bytes follow, the record holds 5"},
        {"srec: unknown record type", ImageFormat::SRecord, "S4030000FC\n" + s9, "line 1",
         "unknown record type S4"},
        {"srec: records lost before the count", ImageFormat::SRecord,
         Srec(1, 2, 0, {1, 2}) + Srec(5, 2, 2, {}) + s9, "line 2",
         "count record says 2 data records, 1 precede it"},
        {"srec: odd byte count at the end", ImageFormat::SRecord, Srec(1, 2, 0, {1, 2, 3}) + s9,
         "line 1", "ends at odd byte address 0x2"},
        {"elf: cut inside the header", ImageFormat::Elf, elfOk.substr(0, 40), "offset 0x0",
         "ends inside the ELF header"},
        {"elf: cut inside a segment", ImageFormat::Elf, elfOk.substr(0, elfOk.size() - 1),
         "offset 0x57", "ends inside a segment"},
        {"elf: program headers outside the file", ImageFormat::Elf, elfOk.substr(0, 60),
         "offset 0x1C", "program header 0 at 0x34 lies outside the file"},
        {"elf: unknown class", ImageFormat::Elf,
         "\x7F"
         "ELF\x03\x01" +
             elfOk.substr(6),
         "offset 0x4", "unknown ELF class 3"},
        {"elf: nothing loadable", ImageFormat::Elf, Elf(true, true, {{4, 0, {1, 2}}}),
         "offset 0x20", "no loadable segment"},
        {"elf: odd byte count at the end", ImageFormat::Elf,
         Elf(false, false, {{1, 0x200, {1, 2, 3}}}), "offset 0x56",
         "ends at odd byte address 0x202"},
        {"bin: odd byte count at the end",
         ImageFormat::Binary,
         "\x01\x02\x03",
         "offset 0x2",
         "ends at odd byte address 0x202",
         {.base = 0x200}},
        {"bin: odd base",
         ImageFormat::Binary,
         "\x01\x02",
         "offset 0x0",
         "starts at odd byte address 0x201",
         {.base = 0x201}},
        {"bin: empty", ImageFormat::Binary, "", "offset 0x0", "empty", {.base = 0x200}},
    };
    for (const BadCase& tc : cases) {
        SCOPED_TRACE(tc.name);
        const Read read = ReadAs(tc.format, tc.text, tc.options);
        ASSERT_TRUE(read.result.fault);
        EXPECT_EQ(DescribePlace(read.result.fault->place), tc.place);
        EXPECT_NE(read.result.fault->reason.find(tc.reason), std::string::npos)
            << read.result.fault->reason;
    }
}

TEST(ImageFormats, WordsAtAndBeyondTheCapacityAreCountedAndNeverStored) {
    // Capacity 2: word 1 is the last stored; a run over words 1 to 4 leaves 3 beyond.
    const Read read =
        ReadAs(ImageFormat::Binary, "\x01\x02\x03\x04\x05\x06\x07\x08", {.base = 2}, 2);
    ASSERT_FALSE(read.result.fault);
    EXPECT_EQ(read.image, (std::vector<std::uint16_t>{kFill, 0x0201}));
    EXPECT_EQ(read.result.read.highest, 4);
    EXPECT_EQ(read.result.read.wordsBeyond, 3u);
    EXPECT_EQ(read.result.read.wordsInside, 1u);
    EXPECT_EQ(read.result.read.lowest, 1);
}

TEST(ImageFormats, FoundFromTheContent) {
    const struct {
        std::string head;
        ImageFormat format;
    } cases[] = {
        {"\x7F"
         "ELF\x01",
         ImageFormat::Elf},
        {":10000000", ImageFormat::IntelHex},
        {"\r\n  :0", ImageFormat::IntelHex},
        {"S00F0000", ImageFormat::SRecord},
        {"S3150000", ImageFormat::SRecord},
        {"@000000 1234", ImageFormat::Rom},
        {"Some notes\n@000000 1234", ImageFormat::Rom},
        {"S", ImageFormat::Rom},
        {": not hex", ImageFormat::Rom},
        {"", ImageFormat::Rom},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.head);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(tc.head.data());
        EXPECT_EQ(DetectImageFormat({bytes, tc.head.size()}), tc.format);
    }
}

}  // namespace
}  // namespace tarnel
