#pragma once
// The few POSIX services the tests use, also on Windows (where the tests run under Wine).

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace tarnel::test {

inline void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
    ::_putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetEnvironment(const char* name) {
#ifdef _WIN32
    ::_putenv_s(name, "");  // an empty value removes the variable
#else
    ::unsetenv(name);
#endif
}

inline int ProcessId() {
#ifdef _WIN32
    return ::_getpid();
#else
    return static_cast<int>(::getpid());
#endif
}

// A new directory under the system's temporary directory whose name starts with
// `prefix`; empty when none could be made.
inline std::filesystem::path MakeTemporaryDirectory(const std::string& prefix) {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) {
        return {};
    }
#ifdef _WIN32
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path dir =
            base / (prefix + std::to_string(ProcessId()) + "-" + std::to_string(random()));
        if (std::filesystem::create_directory(dir, error)) {
            return dir;
        }
    }
    return {};
#else
    std::string pattern = (base / (prefix + "XXXXXX")).string();
    return ::mkdtemp(pattern.data()) != nullptr ? std::filesystem::path(pattern)
                                                : std::filesystem::path();
#endif
}

}  // namespace tarnel::test
