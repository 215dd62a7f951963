#include "scan/ImageFormats.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include "scan/CharSets.h"
#include "scan/ElfReader.h"
#include "scan/ImageReader.h"
#include "scan/IntelHexReader.h"
#include "scan/SRecordReader.h"

namespace tarnel {
namespace {

ImageFormatResult ReadRom(ByteStream& stream, const ImageReadOptions&, std::uint16_t* image,
                          std::uint32_t capacity) {
    return {ReadWordImageCounted(stream, image, capacity), std::nullopt};
}

// A reader of a byte-addressed format, run over ByteImageWriter.
template <std::optional<ImageFault> (*Reader)(ByteStream&, ByteImageWriter&)>
ImageFormatResult ReadBytes(ByteStream& stream, const ImageReadOptions& options,
                            std::uint16_t* image, std::uint32_t capacity) {
    ByteImageWriter out(image, capacity, options.byteOrder);
    if (auto fault = Reader(stream, out)) {
        return {.read = {}, .fault = fault};
    }
    return out.Finish();
}

// Raw binary: every byte of the file, the first at the base address.
std::optional<ImageFault> ReadBinary(ByteStream& stream, ByteImageWriter& out, std::uint64_t base) {
    std::array<std::uint8_t, 4096> block;
    std::uint64_t offset = 0;
    for (;;) {
        std::size_t n = 0;
        for (int c; n < block.size() && (c = stream.Get()) >= 0;) {
            block[n++] = static_cast<std::uint8_t>(c);
        }
        if (n == 0) {
            break;
        }
        if (base + offset + n < base) {
            return ImageFault{{FilePlace::Kind::Offset, offset},
                              "the file runs past the end of the address space from its base"};
        }
        out.Put(base + offset, std::span<const std::uint8_t>(block.data(), n),
                {FilePlace::Kind::Offset, offset});
        offset += n;
    }
    if (offset == 0) {
        return ImageFault{{FilePlace::Kind::Offset, 0}, "the file is empty"};
    }
    return std::nullopt;
}

ImageFormatResult ReadBin(ByteStream& stream, const ImageReadOptions& options, std::uint16_t* image,
                          std::uint32_t capacity) {
    ByteImageWriter out(image, capacity, options.byteOrder);
    if (auto fault = ReadBinary(stream, out, options.base)) {
        return {.read = {}, .fault = fault};
    }
    return out.Finish();
}

constexpr ImageFormatInfo kFormats[] = {
    {ImageFormat::Rom, "rom", "@ records", "ROM files", "*.rom", StreamMode::Text, true, ReadRom},
    {ImageFormat::IntelHex, "ihex", "Intel HEX", "Intel HEX files", "*.hex *.ihx *.ihex",
     StreamMode::Binary, true, ReadBytes<ReadIntelHex>},
    {ImageFormat::SRecord, "srec", "Motorola S-records", "S-record files",
     "*.srec *.s19 *.s28 *.s37 *.mot", StreamMode::Binary, true, ReadBytes<ReadSRecords>},
    {ImageFormat::Elf, "elf", "ELF", "ELF files", "*.elf *.out", StreamMode::Binary, true,
     ReadBytes<ReadElf>},
    {ImageFormat::Binary, "bin", "raw binary", "Raw binary files", "*.bin", StreamMode::Binary,
     false, ReadBin},
};

bool IsHexDigit(std::uint8_t c) {
    return detail::HexValue(c) >= 0;
}

}  // namespace

std::span<const ImageFormatInfo> ImageFormats() {
    return kFormats;
}

const ImageFormatInfo& FormatInfo(ImageFormat format) {
    return *std::find_if(std::begin(kFormats), std::end(kFormats),
                         [&](const ImageFormatInfo& info) { return info.format == format; });
}

const ImageFormatInfo* FindImageFormat(std::string_view name) {
    for (const ImageFormatInfo& info : kFormats) {
        if (info.name == name) {
            return &info;
        }
    }
    return nullptr;
}

std::string ImageFormatNames() {
    std::string names;
    for (const ImageFormatInfo& info : kFormats) {
        names += (names.empty() ? "" : ", ") + std::string(info.name);
    }
    return names;
}

ImageFormat DetectImageFormat(std::span<const std::uint8_t> head) {
    if (head.size() >= 4 && std::equal(kElfMagic, kElfMagic + 4, head.begin())) {
        return ImageFormat::Elf;
    }
    std::size_t i = 0;
    while (i < head.size() && detail::IsImageSpace(head[i])) {
        ++i;
    }
    // A record mark with hex digits after it; one character too few to tell reads as "@".
    auto hexAt = [&](std::size_t at) { return at < head.size() && IsHexDigit(head[at]); };
    if (i < head.size() && head[i] == ':' && hexAt(i + 1)) {
        return ImageFormat::IntelHex;
    }
    if (i + 1 < head.size() && head[i] == 'S' && head[i + 1] >= '0' && head[i + 1] <= '9' &&
        hexAt(i + 2)) {
        return ImageFormat::SRecord;
    }
    return ImageFormat::Rom;
}

ImageFileRead ReadImageFile(const std::string& path, std::optional<ImageFormat> format,
                            const ImageReadOptions& options, std::uint16_t* image,
                            std::uint32_t capacity) {
    ImageFileRead read;
    ByteStream stream;
    if (!format) {
        read.openFailure = stream.OpenRegularFile(path, StreamMode::Binary);
        if (!read.openFailure.empty()) {
            return read;
        }
        std::array<std::uint8_t, kDetectionBytes> head;
        std::size_t n = 0;
        for (int c; n < head.size() && (c = stream.Get()) >= 0;) {
            head[n++] = static_cast<std::uint8_t>(c);
        }
        if (stream.Error()) {
            read.readError = stream.ErrorNumber();
            return read;
        }
        format = DetectImageFormat(std::span<const std::uint8_t>(head.data(), n));
    }
    const ImageFormatInfo& info = FormatInfo(*format);
    read.format = *format;
    read.openFailure = stream.OpenRegularFile(path, info.mode);
    if (!read.openFailure.empty()) {
        return read;
    }
    read.result = info.read(stream, options, image, capacity);
    if (stream.Error()) {
        read.readError = stream.ErrorNumber();
    }
    return read;
}

}  // namespace tarnel
