#include "platform/VersionRecord.h"

#include <cstring>
#include <fstream>
#include <vector>

namespace tarnel {
namespace {

// Reads `size` bytes at `offset`; false when the file is shorter.
bool ReadAt(std::ifstream& file, std::uint64_t offset, void* out, std::size_t size) {
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
    return file.good() || (file.gcount() == static_cast<std::streamsize>(size));
}

template <typename T>
T Le(const unsigned char* p) {
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        value |= static_cast<T>(p[i]) << (8 * i);
    }
    return value;
}

constexpr std::size_t kElfHeaderSize = 64;
constexpr std::size_t kSectionHeaderSize = 64;
constexpr std::uint16_t kMaxSections = 4096;

}  // namespace

std::optional<FileVersion> ReadFileVersion(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    unsigned char header[kElfHeaderSize];
    if (!ReadAt(file, 0, header, sizeof header) ||
        std::memcmp(header,
                    "\x7F"
                    "ELF",
                    4) != 0 ||
        header[4] != 2 /* 64-bit */ || header[5] != 1 /* little-endian */) {
        return std::nullopt;
    }
    const auto sectionOffset = Le<std::uint64_t>(header + 0x28);
    const auto entrySize = Le<std::uint16_t>(header + 0x3A);
    const auto sectionCount = Le<std::uint16_t>(header + 0x3C);
    const auto namesIndex = Le<std::uint16_t>(header + 0x3E);
    if (entrySize != kSectionHeaderSize || sectionCount == 0 || sectionCount > kMaxSections ||
        namesIndex >= sectionCount) {
        return std::nullopt;
    }
    std::vector<unsigned char> sections(std::size_t{sectionCount} * kSectionHeaderSize);
    if (!ReadAt(file, sectionOffset, sections.data(), sections.size())) {
        return std::nullopt;
    }
    const unsigned char* names = sections.data() + std::size_t{namesIndex} * kSectionHeaderSize;
    const auto namesOffset = Le<std::uint64_t>(names + 0x18);
    const auto namesSize = Le<std::uint64_t>(names + 0x20);
    constexpr std::size_t kWanted = sizeof kVersionSectionName;  // includes the NUL

    for (std::size_t i = 0; i < sectionCount; ++i) {
        const unsigned char* section = sections.data() + i * kSectionHeaderSize;
        const auto nameOffset = Le<std::uint32_t>(section);
        if (nameOffset >= namesSize || namesSize - nameOffset < kWanted) {
            continue;
        }
        char name[kWanted];
        if (!ReadAt(file, namesOffset + nameOffset, name, kWanted) ||
            std::memcmp(name, kVersionSectionName, kWanted) != 0) {
            continue;
        }
        const auto offset = Le<std::uint64_t>(section + 0x18);
        const auto size = Le<std::uint64_t>(section + 0x20);
        unsigned char raw[sizeof(VersionRecord)];
        if (size < sizeof raw || !ReadAt(file, offset, raw, sizeof raw) ||
            Le<std::uint32_t>(raw) != kVersionRecordSignature ||
            Le<std::uint32_t>(raw + 4) != kVersionRecordLayout) {
            return std::nullopt;
        }
        const auto ms = Le<std::uint32_t>(raw + 8);
        const auto ls = Le<std::uint32_t>(raw + 12);
        return FileVersion{ms >> 16, ms & 0xFFFFu, ls >> 16, ls & 0xFFFFu};
    }
    return std::nullopt;
}

}  // namespace tarnel
