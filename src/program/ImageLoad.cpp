#include "program/ImageLoad.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "scan/ByteStream.h"

namespace tarnel {
namespace {

constexpr char kLenientVariable[] = "TARNEL_LENIENT_IMAGES";

std::string Plural(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Reads `path` into `image`, which holds the caller's fill and whose size is the capacity.
// Sets image.failure (key `key`) for the refusals every image shares.
void ReadChecked(const std::string& path, MessageKey key, const ImageLoadOptions& options,
                 LoadedImage& image) {
    image.path = path;
    if (path.empty()) {
        image.failure = Failure{key, "no file named"};
        return;
    }
    ByteStream stream;
    if (const std::string why = stream.OpenRegularFile(path, StreamMode::Text); !why.empty()) {
        image.failure = Failure{key, path + ": " + why};
        return;
    }
    const auto capacity = static_cast<std::uint32_t>(image.words.size());
    image.read = ReadWordImageCounted(stream, image.words.data(), capacity);
    if (stream.Error()) {
        image.failure = Failure{key, path + ": " + std::strerror(stream.ErrorNumber())};
        return;
    }
    const ImageReadResult& read = image.read;
    if (read.malformedCount > 0 && !options.lenient) {
        const MalformedRecord& first = read.malformed.front();
        image.failure =
            Failure{key, path + ":" + std::to_string(first.line) + ": " + first.what + " (" +
                             Plural(read.malformedCount, "malformed record", "malformed records") +
                             " in the file)"};
        return;
    }
    if (read.highest < 0) {
        image.failure = Failure{key, path + ": no image record"};
    }
}

// The first of `places` that exists, or nothing with `why` naming every place tried.
std::optional<std::string> FindBootloader(const std::vector<std::string>& places,
                                          std::string& why) {
    for (const std::string& place : places) {
        try {
            // Paths are UTF-8 on every system.
            const std::filesystem::path path(std::u8string(place.begin(), place.end()));
            std::error_code error;
            if (std::filesystem::status(path, error).type() !=
                std::filesystem::file_type::not_found) {
                return place;
            }
        } catch (const std::exception&) {  // not a path this system can name: the read says so
            return place;
        }
    }
    why = "not found; looked in ";
    for (std::size_t i = 0; i < places.size(); ++i) {
        why += (i == 0 ? "" : ", ") + places[i];
    }
    if (places.empty()) {
        why += "no place";
    }
    return std::nullopt;
}

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[i] = c;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

ImageLoadOptions ImageLoadOptionsFromEnvironment() {
    const char* value = std::getenv(kLenientVariable);
    return {.lenient = value != nullptr && std::strcmp(value, "1") == 0};
}

LoadedImage LoadFlashImage(const std::string& path, const ImageLoadOptions& options) {
    LoadedImage image;
    image.words.assign(kFlashWords, 0xFFFF);
    ReadChecked(path, msg::ErrFlashFile, options, image);
    if (!image.failure && image.read.wordsInside == 0) {
        // Erasing the chip and programming nothing would pass for a success.
        image.failure =
            Failure{msg::ErrFlashFile,
                    path + ": no word falls inside the flash (words 0 to " +
                        std::to_string(kFlashWords - 1) + "); " +
                        Plural(image.read.wordsBeyond, "word lies", "words lie") + " beyond it"};
    }
    if (!image.failure) {
        const FlashImage flash(image.words.data(), kFlashWords);
        image.pages = static_cast<int>(NonBlankPages(flash).size());
        image.crc32 = ImageCrc32(flash);
    }
    return image;
}

LoadedImage LoadBootloader(const std::vector<std::string>& places,
                           const ImageLoadOptions& options) {
    LoadedImage image;
    std::string why;
    const std::optional<std::string> path = FindBootloader(places, why);
    if (!path) {
        image.failure = Failure{msg::ErrBootFile, why};
        return image;
    }
    image.words.assign(kBootloaderWords, 0x0000);
    ReadChecked(*path, msg::ErrBootFile, options, image);
    if (!image.failure && image.read.highest >= static_cast<int>(kBootloaderWords)) {
        // It does not fit the bootloader buffer: uploading it would start a cut program.
        image.failure = Failure{
            msg::ErrBootFile, *path + ": more than " + std::to_string(kBootloaderWords) + " words"};
    }
    if (!image.failure) {
        image.words.resize(static_cast<std::size_t>(image.read.highest) + 1);
    }
    return image;
}

std::uint32_t ImageCrc32(std::span<const std::uint16_t> words) {
    std::uint32_t crc = 0xFFFFFFFFu;
    const auto feed = [&crc](unsigned byte) { crc = kCrcTable[(crc ^ byte) & 0xFFu] ^ (crc >> 8); };
    for (const std::uint16_t word : words) {
        feed(word >> 8);
        feed(word & 0xFFu);
    }
    return crc ^ 0xFFFFFFFFu;
}

std::string SkippedRecordsText(std::uint64_t count) {
    if (count == 0) {
        return {};
    }
    return Plural(count, "malformed record was skipped.", "malformed records were skipped.");
}

}  // namespace tarnel
