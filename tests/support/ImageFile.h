#pragma once
// Writes a flash image file of `words` (address -> value) for the tests, with a comment
// line first and the given line end.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace tarnel::test {

inline void WriteImageFile(const std::filesystem::path& path,
                           const std::map<unsigned, std::uint16_t>& words,
                           const char* lineEnd = "\n") {
    std::ofstream file(path, std::ios::binary);
    file << "; test image" << lineEnd;
    for (const auto& [address, value] : words) {
        char line[16];
        std::snprintf(line, sizeof line, "@%06X %04X", address, value);
        file << line << lineEnd;
    }
}

}  // namespace tarnel::test
