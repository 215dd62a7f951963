#include "sim/FlashFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "scan/ImageReader.h"

namespace tarnel::sim {

FlashLoad LoadFlashFile(const std::string& path, FlashArray& flash) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        return FlashLoad::Missing;
    }
    if (!std::ifstream(path).is_open()) {
        return FlashLoad::Unreadable;
    }
    flash.Erase();
    // A file without a single record (an erased flash is saved that way) leaves it blank.
    const int highest = ReadWordImage(path, flash.All().data(), kFlashWords);
    return highest >= static_cast<int>(kFlashWords) ? FlashLoad::OutOfRange : FlashLoad::Loaded;
}

bool SaveFlashFile(const std::string& path, const FlashArray& flash) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::out | std::ios::trunc);
        if (!out.is_open()) {
            return false;
        }
        char line[32];
        for (unsigned address = 0; address < kFlashWords; ++address) {
            const unsigned value = flash.Word(address);
            if (value != kBlankWord) {
                std::snprintf(line, sizeof line, "@%06X %04X\n", address, value);
                out << line;
            }
        }
        out.flush();
        if (!out.good()) {
            out.close();
            std::filesystem::remove(temporary);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

}  // namespace tarnel::sim
