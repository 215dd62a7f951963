// Windows: the version record is the executable's VERSIONINFO resource, read back with the
// system's version functions.

#include <windows.h>

#include <filesystem>
#include <vector>

#include "platform/VersionRecord.h"

namespace tarnel {

std::optional<FileVersion> ReadFileVersion(const std::string& path) {
    std::filesystem::path file;
    try {
        file = std::filesystem::path(std::u8string(path.begin(), path.end()));
    } catch (const std::exception&) {  // not valid UTF-8: no such file
        return std::nullopt;
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) {
        return std::nullopt;
    }
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data())) {
        return std::nullopt;
    }
    void* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueW(block.data(), L"\\", &fixed, &fixedSize) ||
        fixedSize < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    if (info->dwSignature != VS_FFI_SIGNATURE) {
        return std::nullopt;
    }
    return FileVersion{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                       HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
}

}  // namespace tarnel
