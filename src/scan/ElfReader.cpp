#include "scan/ElfReader.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace tarnel {
namespace {

constexpr std::uint32_t kLoadSegment = 1;         // PT_LOAD
constexpr std::uint16_t kExtendedCount = 0xFFFF;  // PN_XNUM: the count lives elsewhere

// Where the fields this reader needs stand, for one class (32 or 64 bit).
struct Layout {
    std::size_t headerSize;
    std::size_t phoff, phentsize, phnum;                // in the file header
    std::size_t entrySize;                              // least program header size
    std::size_t type, offset, paddr, filesz, wordSize;  // in a program header
};
constexpr Layout kLayout32{52, 28, 42, 44, 32, 0, 4, 12, 16, 4};
constexpr Layout kLayout64{64, 32, 54, 56, 56, 0, 8, 24, 32, 8};

class ElfFile {
public:
    ElfFile(ByteStream& stream, bool bigEndian) : stream_(stream), big_(bigEndian) {}

    // Reads `size` bytes at `offset` into `bytes`; false when the file ends first.
    bool ReadAt(std::uint64_t offset, std::size_t size, std::vector<std::uint8_t>& bytes) {
        bytes.resize(size);
        if (offset > static_cast<std::uint64_t>(INT64_MAX) ||
            stream_.Seek(static_cast<std::int64_t>(offset)) != 0) {
            return false;
        }
        for (std::size_t i = 0; i < size; ++i) {
            const int c = stream_.Get();
            if (c < 0) {
                return false;
            }
            bytes[i] = static_cast<std::uint8_t>(c);
        }
        return true;
    }

    // An unsigned field of `size` bytes in the file's byte order.
    std::uint64_t Field(const std::vector<std::uint8_t>& bytes, std::size_t at,
                        std::size_t size) const {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            const std::uint8_t byte = bytes[big_ ? at + i : at + size - 1 - i];
            value = value << 8 | byte;
        }
        return value;
    }

private:
    ByteStream& stream_;
    bool big_;
};

ImageFault AtOffset(std::uint64_t offset, std::string reason) {
    return {{FilePlace::Kind::Offset, offset}, std::move(reason)};
}

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

// Copies a segment's file bytes into `out` a block at a time.
std::optional<ImageFault> CopySegment(ByteStream& stream, std::uint64_t offset, std::uint64_t size,
                                      std::uint64_t address, ByteImageWriter& out) {
    if (stream.Seek(static_cast<std::int64_t>(offset)) != 0) {
        return AtOffset(offset, "cannot seek to the segment's bytes");
    }
    std::array<std::uint8_t, 4096> block;
    for (std::uint64_t done = 0; done < size;) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - done));
        for (std::size_t i = 0; i < n; ++i) {
            const int c = stream.Get();
            if (c < 0) {
                return AtOffset(offset + done + i, "the file ends inside a segment's bytes (" +
                                                       Hex(size) + " bytes from offset " +
                                                       Hex(offset) + ")");
            }
            block[i] = static_cast<std::uint8_t>(c);
        }
        out.Put(address + done, std::span<const std::uint8_t>(block.data(), n),
                {FilePlace::Kind::Offset, offset + done});
        done += n;
    }
    return std::nullopt;
}

}  // namespace

std::optional<ImageFault> ReadElf(ByteStream& stream, ByteImageWriter& out) {
    std::vector<std::uint8_t> ident;
    ElfFile probe(stream, false);
    if (!probe.ReadAt(0, 16, ident) || !std::equal(kElfMagic, kElfMagic + 4, ident.begin())) {
        return AtOffset(0, "not an ELF file, or one cut short inside its identification");
    }
    if (ident[4] != 1 && ident[4] != 2) {
        return AtOffset(
            4, "unknown ELF class " + std::to_string(ident[4]) + " (1: 32-bit, 2: 64-bit)");
    }
    if (ident[5] != 1 && ident[5] != 2) {
        return AtOffset(5, "unknown ELF byte order " + std::to_string(ident[5]) +
                               " (1: little-endian, 2: big-endian)");
    }
    const Layout& layout = ident[4] == 1 ? kLayout32 : kLayout64;
    ElfFile elf(stream, ident[5] == 2);
    std::vector<std::uint8_t> header;
    if (!elf.ReadAt(0, layout.headerSize, header)) {
        return AtOffset(0, "the file ends inside the ELF header");
    }
    const std::uint64_t phoff = elf.Field(header, layout.phoff, layout.wordSize);
    const std::uint64_t entrySize = elf.Field(header, layout.phentsize, 2);
    const std::uint64_t count = elf.Field(header, layout.phnum, 2);
    if (count == kExtendedCount) {
        return AtOffset(layout.phnum, "more program headers than the header can count");
    }
    if (count > 0 && entrySize < layout.entrySize) {
        return AtOffset(layout.phentsize, "program header size " + std::to_string(entrySize) +
                                              " is less than " + std::to_string(layout.entrySize));
    }
    bool loaded = false;
    std::vector<std::uint8_t> entry;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t at = phoff + i * entrySize;  // at most 2^64 - 1 + 2^32: no wrap below
        if (at < phoff || !elf.ReadAt(at, layout.entrySize, entry)) {
            return AtOffset(layout.phoff, "program header " + std::to_string(i) + " at " + Hex(at) +
                                              " lies outside the file");
        }
        if (elf.Field(entry, layout.type, 4) != kLoadSegment) {
            continue;
        }
        const std::uint64_t offset = elf.Field(entry, layout.offset, layout.wordSize);
        const std::uint64_t address = elf.Field(entry, layout.paddr, layout.wordSize);
        const std::uint64_t size = elf.Field(entry, layout.filesz, layout.wordSize);
        if (size == 0) {
            continue;
        }
        if (address + size < address) {
            return AtOffset(at + layout.paddr, "segment " + std::to_string(i) + " at address " +
                                                   Hex(address) + " runs past the address space");
        }
        if (offset + size < offset) {
            return AtOffset(at + layout.offset,
                            "segment " + std::to_string(i) + "'s bytes run past any file");
        }
        if (auto fault = CopySegment(stream, offset, size, address, out)) {
            return fault;
        }
        loaded = true;
    }
    if (!loaded) {
        return AtOffset(layout.phoff, "no loadable segment holds any bytes");
    }
    return std::nullopt;
}

}  // namespace tarnel
