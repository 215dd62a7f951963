#include "platform/Arguments.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include <filesystem>
#endif

namespace tarnel {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
#ifdef _WIN32
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count); wide != nullptr) {
        for (int i = 1; i < count; ++i) {
            const std::u8string utf8 = std::filesystem::path(wide[i]).u8string();
            arguments.emplace_back(utf8.begin(), utf8.end());
        }
        LocalFree(wide);
        return arguments;
    }
#endif
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return arguments;
}

const char* ProgramBaseName(const char* path, const char* fallback) {
    if (path == nullptr || *path == '\0') {
        return fallback;
    }
    const char* name = path;
    for (const char* c = path; *c != '\0'; ++c) {
#ifdef _WIN32
        const bool separator = *c == '/' || *c == '\\';
#else
        const bool separator = *c == '/';
#endif
        if (separator) {
            name = c + 1;
        }
    }
    return name;
}

}  // namespace tarnel
