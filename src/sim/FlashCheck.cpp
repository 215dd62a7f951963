// tarnel-flash-check [--format=NAME] [--base=ADDRESS] [--byte-order=ORDER] IMAGE FLASH:
// compares the simulated flash file that a run left behind with the image that was
// programmed, both read with the tool's own image readers (the image in the format its
// content shows, or the one named, as tarnel-cli takes them), word for word over the whole
// flash (words that neither names are blank). Prints the number of
// non-blank pages in the image, the number of words that differ and the first of them.
// Exit status: 0 when the flash holds the image, 1 when a word differs, 2 when a file
// cannot be read (a missing flash file is a blank flash).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "scan/ImageFormats.h"
#include "sim/FlashArray.h"

namespace {

using tarnel::sim::kBlankWord;
using tarnel::sim::kFlashPages;
using tarnel::sim::kFlashWords;
using tarnel::sim::kPageWords;

constexpr unsigned kDifferencesShown = 5;

// The words of the file, blank where it names none; false when it cannot be read or its
// reader refuses it.
bool ReadWords(const std::string& path, bool missingIsBlank,
               std::optional<tarnel::ImageFormat> format, const tarnel::ImageReadOptions& options,
               std::vector<std::uint16_t>& words) {
    words.assign(kFlashWords, kBlankWord);
    if (missingIsBlank && !std::filesystem::exists(path)) {
        return true;
    }
    const tarnel::ImageFileRead read =
        tarnel::ReadImageFile(path, format, options, words.data(), kFlashWords);
    if (!read.openFailure.empty() || read.readError != 0) {
        std::fprintf(
            stderr, "tarnel-flash-check: cannot read %s: %s\n", path.c_str(),
            read.openFailure.empty() ? std::strerror(read.readError) : read.openFailure.c_str());
        return false;
    }
    if (const auto& fault = read.result.fault) {
        std::fprintf(stderr, "tarnel-flash-check: %s: %s: %s (read as %s)\n", path.c_str(),
                     tarnel::DescribePlace(fault->place).c_str(), fault->reason.c_str(),
                     std::string(tarnel::FormatInfo(read.format).title).c_str());
        return false;
    }
    if (read.result.read.highest >= static_cast<int>(kFlashWords)) {
        std::printf("note: %s names words beyond the flash; they are not compared\n", path.c_str());
    }
    return true;
}

// Takes --format, --base and --byte-order from the front of the arguments; false, having
// said why, for a value that is not one of theirs.
bool TakeOptions(std::vector<std::string>& arguments, std::optional<tarnel::ImageFormat>& format,
                 tarnel::ImageReadOptions& options) {
    while (!arguments.empty() && arguments.front().rfind("--", 0) == 0) {
        const std::string option = arguments.front();
        arguments.erase(arguments.begin());
        const std::size_t equals = option.find('=');
        const std::string value = equals == std::string::npos ? "" : option.substr(equals + 1);
        const std::string name = option.substr(0, equals);
        char* end = nullptr;
        const unsigned long long base = std::strtoull(value.c_str(), &end, 0);
        if (name == "--format" && tarnel::FindImageFormat(value) != nullptr) {
            format = tarnel::FindImageFormat(value)->format;
        } else if (name == "--base" && !value.empty() && *end == '\0') {
            options.base = base;
        } else if (name == "--byte-order" && (value == "little" || value == "big")) {
            options.byteOrder = value == "big" ? tarnel::ByteOrder::Big : tarnel::ByteOrder::Little;
        } else {
            std::fprintf(stderr, "tarnel-flash-check: cannot use %s\n", option.c_str());
            return false;
        }
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
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::optional<tarnel::ImageFormat> format;
    tarnel::ImageReadOptions options;
    if (!TakeOptions(arguments, format, options) || arguments.size() != 2) {
        std::fprintf(stderr,
                     "usage: tarnel-flash-check [--format=NAME] [--base=ADDRESS] "
                     "[--byte-order=little|big] IMAGE FLASH\n");
        return 2;
    }
    std::vector<std::uint16_t> image;
    std::vector<std::uint16_t> flash;
    if (!ReadWords(arguments[0], false, format, options, image) ||
        !ReadWords(arguments[1], true, tarnel::ImageFormat::Rom, {}, flash)) {
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
