#include "scan/SRecordReader.h"

#include <algorithm>
#include <string>
#include <vector>

#include "scan/HexRecordLines.h"

namespace tarnel {
namespace {

// Address bytes by record type S0 to S9; 0 for S4, which is not defined.
constexpr std::size_t kAddressBytes[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

enum class Kind { Header, Data, Count, End };

Kind KindOf(int type) {
    switch (type) {
        case 0:
            return Kind::Header;
        case 1:
        case 2:
        case 3:
            return Kind::Data;
        case 5:
        case 6:
            return Kind::Count;
        default:
            return Kind::End;
    }
}

std::string Hex2(unsigned value) {
    const char* digits = "0123456789ABCDEF";
    return {digits[(value >> 4) & 15], digits[value & 15]};
}

// Checks the count and checksum of a record's bytes (count first, checksum last) and that
// it holds its address; the reason when it does not.
std::optional<std::string> FrameFault(const std::vector<std::uint8_t>& bytes,
                                      std::size_t addressBytes) {
    if (bytes.empty()) {
        return std::string("record without a count");
    }
    const std::size_t count = bytes[0];
    if (bytes.size() != count + 1) {
        return "count says " + std::to_string(count) + " bytes follow, the record holds " +
               std::to_string(bytes.size() - 1);
    }
    if (count < addressBytes + 1) {
        return "count " + std::to_string(count) + " leaves no room for the address and checksum";
    }
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        sum += bytes[i];
    }
    const unsigned wanted = ~sum & 0xFFu;
    if (bytes.back() != wanted) {
        return "checksum is " + Hex2(bytes.back()) + ", the record's bytes need " + Hex2(wanted);
    }
    return std::nullopt;
}

}  // namespace

std::optional<ImageFault> ReadSRecords(ByteStream& stream, ByteImageWriter& out) {
    HexRecordLines lines(stream);
    std::string line;
    std::vector<std::uint8_t> bytes;
    std::uint64_t dataRecords = 0;
    while (lines.Next(line)) {
        auto fault = [&](std::string reason) { return ImageFault{lines.Place(), reason}; };
        if (lines.TooLong()) {
            return fault("line longer than any record");
        }
        if (line[0] != 'S' || line.size() < 2 || line[1] < '0' || line[1] > '9') {
            return fault("a record starts with 'S' and its type digit");
        }
        const int type = line[1] - '0';
        const std::size_t addressBytes = kAddressBytes[type];
        if (addressBytes == 0) {
            return fault("unknown record type S" + std::to_string(type));
        }
        if (auto why = DecodeHexPairs(line, 2, bytes)) {
            return fault(*why);
        }
        if (auto why = FrameFault(bytes, addressBytes)) {
            return fault(*why);
        }
        std::uint64_t address = 0;
        for (std::size_t i = 1; i <= addressBytes; ++i) {
            address = address << 8 | bytes[i];
        }
        switch (KindOf(type)) {
            case Kind::Header:
                break;
            case Kind::Data:
                out.Put(address,
                        std::span<const std::uint8_t>(bytes).subspan(
                            1 + addressBytes, bytes.size() - 2 - addressBytes),
                        lines.Place());
                ++dataRecords;
                break;
            case Kind::Count:
                // A count record holds only as many bits as its address field.
                if (address != (dataRecords & ((std::uint64_t{1} << (8 * addressBytes)) - 1))) {
                    return fault("count record says " + std::to_string(address) +
                                 " data records, " + std::to_string(dataRecords) + " precede it");
                }
                break;
            case Kind::End:
                return std::nullopt;
        }
    }
    return ImageFault{{FilePlace::Kind::Line, std::max<std::uint64_t>(lines.Line(), 1)},
                      "the file ends without an end record (S7, S8 or S9): it may be cut "
                      "short"};
}

}  // namespace tarnel
