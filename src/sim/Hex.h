#pragma once
// Upper-case hex text of bytes and words, as the wire trace and the error messages show it.

#include <cstdint>
#include <span>
#include <string>

namespace tarnel::sim {

std::string Hex8(unsigned value);        // 0xAB
std::string Hex16(unsigned value);       // 0x1234
std::string Hex32(unsigned long value);  // 0x12345678

// Contiguous upper-case hex of the bytes ("A3E3"), or "-" when there are none.
std::string HexBytes(std::span<const std::uint8_t> bytes);

}  // namespace tarnel::sim
