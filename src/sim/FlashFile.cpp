#include "sim/FlashFile.h"

#include <algorithm>
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

namespace {

// The whole file's text, built in one buffer: formatting line by line through a stream
// cost more than the rest of a programming run in the simulator.
std::string FlashFileText(const FlashArray& flash) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    static constexpr std::size_t kLineLength = sizeof "@AAAAAA VVVV\n" - 1;
    const auto& words = flash.All();
    const auto programmed =
        static_cast<std::size_t>(words.size() - std::count(words.begin(), words.end(), kBlankWord));
    std::string text(programmed * kLineLength, '\0');
    char* out = text.data();
    for (unsigned address = 0; address < kFlashWords; ++address) {
        const unsigned value = words[address];
        if (value == kBlankWord) {
            continue;
        }
        *out++ = '@';
        for (int shift = 20; shift >= 0; shift -= 4) {
            *out++ = kDigits[(address >> shift) & 0xF];
        }
        *out++ = ' ';
        for (int shift = 12; shift >= 0; shift -= 4) {
            *out++ = kDigits[(value >> shift) & 0xF];
        }
        *out++ = '\n';
    }
    return text;
}

}  // namespace

bool SaveFlashFile(const std::string& path, const FlashArray& flash) {
    const std::string temporary = path + ".tmp";
    {
        const std::string text = FlashFileText(flash);
        std::ofstream out(temporary, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!out.is_open()) {
            return false;
        }
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
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
