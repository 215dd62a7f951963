// tarnel-flash-check IMAGE FLASH: compares the simulated flash file that a run left behind
// with the image that was programmed, both read with the tool's own image reader, word for
// word over the whole flash (words that neither names are blank). Prints the number of
// non-blank pages in the image, the number of words that differ and the first of them.
// Exit status: 0 when the flash holds the image, 1 when a word differs, 2 when a file
// cannot be read (a missing flash file is a blank flash).

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scan/ImageReader.h"
#include "sim/FlashArray.h"

namespace {

using tarnel::sim::kBlankWord;
using tarnel::sim::kFlashPages;
using tarnel::sim::kFlashWords;
using tarnel::sim::kPageWords;

constexpr unsigned kDifferencesShown = 5;

// The words of the file, blank where it names none; false when it cannot be read.
bool ReadWords(const std::string& path, bool missingIsBlank, std::vector<std::uint16_t>& words) {
    words.assign(kFlashWords, kBlankWord);
    if (missingIsBlank && !std::filesystem::exists(path)) {
        return true;
    }
    if (!std::ifstream(path).is_open()) {
        std::fprintf(stderr, "tarnel-flash-check: cannot read %s\n", path.c_str());
        return false;
    }
    if (tarnel::ReadWordImage(path, words.data(), kFlashWords) >= static_cast<int>(kFlashWords)) {
        std::printf("note: %s names words beyond the flash; they are not compared\n", path.c_str());
    }
    return true;
}

unsigned NonBlankPages(const std::vector<std::uint16_t>& words) {
    unsigned pages = 0;
    for (unsigned page = 0; page < kFlashPages; ++page) {
        for (unsigned i = 0; i < kPageWords; ++i) {
            if (words[page * kPageWords + i] != kBlankWord) {
                ++pages;
                break;
            }
        }
    }
    return pages;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tarnel-flash-check IMAGE FLASH\n");
        return 2;
    }
    std::vector<std::uint16_t> image;
    std::vector<std::uint16_t> flash;
    if (!ReadWords(argv[1], false, image) || !ReadWords(argv[2], true, flash)) {
        return 2;
    }
    unsigned differing = 0;
    for (unsigned address = 0; address < kFlashWords; ++address) {
        if (image[address] == flash[address]) {
            continue;
        }
        if (++differing <= kDifferencesShown) {
            std::printf("@%06X image %04X flash %04X\n", address, image[address], flash[address]);
        }
    }
    std::printf("pages in the image: %u\n", NonBlankPages(image));
    std::printf("words that differ: %u\n", differing);
    return differing == 0 ? 0 : 1;
}
