#include "scan/IntelHexReader.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "scan/HexRecordLines.h"

namespace tarnel {
namespace {

enum RecordType : std::uint8_t {
    kData = 0x00,
    kEndOfFile = 0x01,
    kExtendedSegment = 0x02,
    kStartSegment = 0x03,
    kExtendedLinear = 0x04,
    kStartLinear = 0x05,
};

// Bytes of a record besides its data: length, offset (2), type, checksum.
constexpr std::size_t kFrameBytes = 5;

// The data length each type other than data must have; -1 for an unknown type.
int RequiredLength(std::uint8_t type) {
    switch (type) {
        case kEndOfFile:
            return 0;
        case kExtendedSegment:
        case kExtendedLinear:
            return 2;
        case kStartSegment:
        case kStartLinear:
            return 4;
        default:
            return -1;
    }
}

template <class... Numbers>
std::string Text(const char* format, Numbers... numbers) {
    char text[100];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(numbers)...);
    return text;
}

// Checks the frame of a decoded record: its length field and checksum.
std::optional<std::string> FrameFault(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < kFrameBytes) {
        return "record too short: " + std::to_string(bytes.size()) + " bytes, at least 5 needed";
    }
    const unsigned length = bytes[0];
    if (bytes.size() != length + kFrameBytes) {
        return Text("length field says %u data bytes, the record holds %u", length,
                    static_cast<unsigned>(bytes.size() - kFrameBytes));
    }
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        sum += bytes[i];
    }
    const unsigned wanted = (0x100u - (sum & 0xFFu)) & 0xFFu;
    if (bytes.back() != wanted) {
        return Text("checksum is %02X, the record's bytes need %02X", bytes.back(), wanted);
    }
    return std::nullopt;
}

}  // namespace

std::optional<ImageFault> ReadIntelHex(ByteStream& stream, ByteImageWriter& out) {
    HexRecordLines lines(stream);
    std::string line;
    std::vector<std::uint8_t> bytes;
    std::uint64_t base = 0;
    bool segmented = false;  // offsets wrap inside 64 KiB after an 02 record
    while (lines.Next(line)) {
        auto fault = [&](std::string reason) { return ImageFault{lines.Place(), reason}; };
        if (lines.TooLong()) {
            return fault("line longer than any record");
        }
        if (line[0] != ':') {
            return fault("a record starts with ':'");
        }
        if (auto why = DecodeHexPairs(line, 1, bytes)) {
            return fault(*why);
        }
        if (auto why = FrameFault(bytes)) {
            return fault(*why);
        }
        const std::uint8_t type = bytes[3];
        const unsigned offset = bytes[1] * 256u + bytes[2];
        const std::span<const std::uint8_t> data(bytes.data() + 4, bytes[0]);
        if (type != kData) {
            const int required = RequiredLength(type);
            if (required < 0) {
                return fault(Text("unknown record type %02X", type));
            }
            if (data.size() != static_cast<unsigned>(required)) {
                return fault(Text("record type %02X holds %u data bytes, not %u", type, data.size(),
                                  required));
            }
        }
        switch (type) {
            case kData: {
                // In segment mode the offset wraps at 64 KiB, so a record may come in two parts.
                const std::size_t first =
                    segmented ? std::min<std::size_t>(data.size(), 0x10000u - offset) : data.size();
                out.Put(base + offset, data.first(first), lines.Place());
                out.Put(base, data.subspan(first), lines.Place());
                break;
            }
            case kEndOfFile:
                return std::nullopt;
            case kExtendedSegment:
                base = (data[0] * 256u + data[1]) * 16u;
                segmented = true;
                break;
            case kExtendedLinear:
                base = std::uint64_t{data[0] * 256u + data[1]} << 16;
                segmented = false;
                break;
            default:  // start addresses: nothing to program
                break;
        }
    }
    return ImageFault{{FilePlace::Kind::Line, std::max<std::uint64_t>(lines.Line(), 1)},
                      "the file ends without an end-of-file record (:00000001FF): it may be "
                      "cut short"};
}

}  // namespace tarnel
