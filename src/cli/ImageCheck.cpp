#include "cli/ImageCheck.h"

#include "report/Report.h"
#include "report/Reportlst.h"

namespace tarnel::cli {

int CheckImage(const std::string& path, const ImageLoadOptions& options, std::FILE* out) {
    const LoadedImage image = LoadFlashImage(path, options);
    if (image.failure) {
        const ReportEntry& entry = MessageEntry(image.failure->key);
        WriteStandardErrorLine(entry.text, image.failure->detail);
        return entry.code;
    }
    const ImageReadResult& read = image.read;
    std::fprintf(out, "image: %s\n", path.c_str());
    std::fprintf(out, "words: %u\n", static_cast<unsigned>(read.wordsInside));
    std::fprintf(out, "pages: %d\n", image.pages);
    std::fprintf(out, "lowest address: 0x%06X\n", static_cast<unsigned>(read.lowest));
    std::fprintf(out, "highest address: 0x%06X\n", static_cast<unsigned>(read.highest));
    std::fprintf(out, "words beyond the flash: %u\n", static_cast<unsigned>(read.wordsBeyond));
    std::fprintf(out, "malformed records: %llu\n",
                 static_cast<unsigned long long>(read.malformedCount));
    for (const MalformedRecord& record : read.malformed) {
        std::fprintf(out, "  line %llu: %s\n", static_cast<unsigned long long>(record.line),
                     record.what.c_str());
    }
    if (read.malformedCount > read.malformed.size()) {
        std::fprintf(out, "  and %llu more\n",
                     static_cast<unsigned long long>(read.malformedCount - read.malformed.size()));
    }
    std::fprintf(out, "crc32: %08X\n", static_cast<unsigned>(image.crc32));
    return 0;
}

}  // namespace tarnel::cli
