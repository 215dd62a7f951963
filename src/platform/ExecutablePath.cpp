#include "platform/ExecutablePath.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

namespace tarnel {

std::string ExecutablePath() {
#ifdef _WIN32
    // The buffer grows until the whole path fits (paths may exceed MAX_PATH).
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            const std::u8string utf8 =
                std::filesystem::path(buffer.data(), buffer.data() + length).u8string();
            return std::string(utf8.begin(), utf8.end());
        }
        if (buffer.size() >= 32768) {  // the longest path the system allows
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
#else
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
#endif
}

std::string DirectoryOf(const std::string& path) {
#ifdef _WIN32
    const auto slash = path.find_last_of("/\\");
#else
    const auto slash = path.find_last_of('/');
#endif
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace tarnel
