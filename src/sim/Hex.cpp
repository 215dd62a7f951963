#include "sim/Hex.h"

#include <cstdio>

namespace tarnel::sim {

std::string Hex8(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
    return text;
}

std::string Hex16(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFu);
    return text;
}

std::string Hex32(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", value & 0xFFFFFFFFul);
    return text;
}

std::string HexBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return "-";
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(bytes.size() * 2, '0');
    char* out = text.data();
    for (const std::uint8_t b : bytes) {
        *out++ = kDigits[b >> 4];
        *out++ = kDigits[b & 0x0F];
    }
    return text;
}

}  // namespace tarnel::sim
