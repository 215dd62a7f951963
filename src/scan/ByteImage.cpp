#include "scan/ByteImage.h"

#include <algorithm>
#include <cstdio>

namespace tarnel {

std::string DescribePlace(const FilePlace& place) {
    char text[40];
    if (place.kind == FilePlace::Kind::Line) {
        std::snprintf(text, sizeof text, "line %llu", static_cast<unsigned long long>(place.value));
    } else {
        std::snprintf(text, sizeof text, "offset 0x%llX",
                      static_cast<unsigned long long>(place.value));
    }
    return text;
}

ByteImageWriter::ByteImageWriter(std::uint16_t* image, std::uint32_t capacity, ByteOrder order)
    : image_(image), byteCapacity_(image == nullptr ? 0 : 2ull * capacity), order_(order) {}

void ByteImageWriter::Put(std::uint64_t address, std::span<const std::uint8_t> bytes,
                          FilePlace place) {
    if (bytes.empty()) {
        return;
    }
    const std::uint64_t end = address + bytes.size();
    if (!runs_.empty() && runs_.back().end == address) {
        runs_.back().end = end;
        runs_.back().lastFrom = address;
        runs_.back().lastPlace = place;
    } else {
        runs_.push_back({address, end, place, address, place});
    }
    const unsigned flip = order_ == ByteOrder::Big ? 1 : 0;
    const std::uint64_t stored = std::min(end, byteCapacity_);
    for (std::uint64_t b = address; b < stored; ++b) {
        const unsigned shift = ((static_cast<unsigned>(b) & 1u) ^ flip) * 8u;
        std::uint16_t& word = image_[b / 2];
        word = static_cast<std::uint16_t>((word & ~(0xFFu << shift)) |
                                          (unsigned{bytes[b - address]} << shift));
    }
}

FilePlace ByteImageWriter::PlaceOfLastByte(const Run& run) {
    FilePlace place = run.lastPlace;
    if (place.kind == FilePlace::Kind::Offset) {
        place.value += run.end - 1 - run.lastFrom;
    }
    return place;
}

ImageFormatResult ByteImageWriter::Finish() {
    ImageFormatResult result;
    std::stable_sort(runs_.begin(), runs_.end(),
                     [](const Run& a, const Run& b) { return a.start < b.start; });
    // Merge runs that overlap or touch; the bytes of each merged run are all named.
    std::vector<Run> merged;
    for (const Run& run : runs_) {
        if (!merged.empty() && run.start <= merged.back().end) {
            if (run.end > merged.back().end) {
                merged.back().end = run.end;
                merged.back().lastFrom = run.lastFrom;
                merged.back().lastPlace = run.lastPlace;
            }
        } else {
            merged.push_back(run);
        }
    }
    const std::uint64_t wordCapacity = byteCapacity_ / 2;
    ImageReadResult& read = result.read;
    for (const Run& run : merged) {
        const auto fault = [&](FilePlace place, const char* format, std::uint64_t byte,
                               std::uint64_t word) {
            char text[120];
            std::snprintf(text, sizeof text, format, static_cast<unsigned long long>(byte),
                          static_cast<unsigned long long>(word));
            result.fault = ImageFault{place, text};
            return result;
        };
        if (run.start % 2 != 0) {
            return fault(run.firstPlace,
                         "data starts at odd byte address 0x%llX: word 0x%llX lacks its other "
                         "byte",
                         run.start, run.start / 2);
        }
        if (run.end % 2 != 0) {
            return fault(PlaceOfLastByte(run),
                         "data ends at odd byte address 0x%llX: word 0x%llX lacks its other byte",
                         run.end - 1, run.end / 2);
        }
        const std::uint64_t first = run.start / 2;
        const std::uint64_t last = run.end / 2 - 1;
        if (last >= kWordAddressSpace) {
            const std::uint64_t word = std::max(first, kWordAddressSpace);
            return fault(run.firstPlace,
                         "byte address 0x%llX (word 0x%llX) lies beyond the target's 24-bit "
                         "word addresses",
                         word * 2, word);
        }
        if (read.lowest < 0) {
            read.lowest = static_cast<int>(first);
        }
        read.highest = static_cast<int>(last);
        if (first < wordCapacity) {
            read.wordsInside +=
                static_cast<std::uint32_t>(std::min(last + 1, wordCapacity) - first);
        }
        if (last >= wordCapacity) {
            read.wordsBeyond +=
                static_cast<std::uint32_t>(last - std::max(first, wordCapacity) + 1);
        }
    }
    return result;
}

}  // namespace tarnel
