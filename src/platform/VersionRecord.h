#pragma once
// The executable's version record, read back from the executable file: on Linux a
// fixed-layout block in an ELF section of its own, on Windows the VERSIONINFO resource.

#include <cstdint>
#include <optional>
#include <string>

namespace tarnel {

inline constexpr char kVersionSectionName[] = ".tarnel_version";
inline constexpr std::uint32_t kVersionRecordSignature = 0x5645524Eu;  // "NREV" little-endian
inline constexpr std::uint32_t kVersionRecordLayout = 1;

// Laid out exactly as stored; every field is little-endian.
struct VersionRecord {
    std::uint32_t signature;
    std::uint32_t layout;
    // File version as two words: major << 16 | minor, then release << 16 | build.
    std::uint32_t fileVersionMs;
    std::uint32_t fileVersionLs;
    std::uint32_t productVersionMs;
    std::uint32_t productVersionLs;
    char productName[32];
    char fileVersion[24];
    char productVersion[24];
    char companyName[48];
};

struct FileVersion {
    unsigned major;
    unsigned minor;
    unsigned release;
    unsigned build;
};

// The fixed file version of the version record in the executable at `path` (UTF-8 on
// Windows), or nothing when the file cannot be read, is not an executable of this system
// (a 64-bit little-endian ELF file on Linux), or has no valid record.
std::optional<FileVersion> ReadFileVersion(const std::string& path);

}  // namespace tarnel
