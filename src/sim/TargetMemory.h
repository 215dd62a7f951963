#pragma once
// The target's word memories and the power-up patterns they start with. The patterns are
// neither 0 nor 0xFFFF at any address, so a word that nobody wrote shows as such.

#include <array>
#include <cstdint>

namespace tarnel::sim {

inline constexpr unsigned kMemoryWords = 65536;
using WordMemory = std::array<std::uint16_t, kMemoryWords>;

constexpr std::uint16_t ProgramCanary(unsigned address) {
    return static_cast<std::uint16_t>(0x5A00u | (address & 0xFFu));
}

constexpr std::uint16_t DataCanary(unsigned address) {
    return static_cast<std::uint16_t>(0xA500u | (address & 0xFFu));
}

// The first words of the stand-in bootloader image (flash.ram). A program that starts with
// them serves the flash mailbox; any other program never answers it.
inline constexpr std::array<std::uint16_t, 4> kBootloaderSignature{0xB007, 0x10AD, 0x5EED, 0xF1A5};

}  // namespace tarnel::sim
