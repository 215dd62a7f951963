#pragma once
// The target's flash: 128 pages of 256 16-bit words, blank at 0xFFFF. Programming can only
// clear bits (a programmed word becomes old AND data); only an erase sets them again.

#include <array>
#include <cstdint>
#include <span>

namespace tarnel::sim {

inline constexpr unsigned kFlashPages = 128;
inline constexpr unsigned kPageWords = 256;
inline constexpr unsigned kFlashWords = kFlashPages * kPageWords;
inline constexpr std::uint16_t kBlankWord = 0xFFFF;

class FlashArray {
public:
    using Words = std::array<std::uint16_t, kFlashWords>;

    FlashArray() { Erase(); }

    void Erase() { words_.fill(kBlankWord); }

    // Programs the page word by word, as the flash cell does: each word becomes old AND
    // data. A word that would need a 0 bit set back to 1 ends the programming there (that
    // word keeps old AND data, later words are untouched) and the result is false.
    bool ProgramPage(unsigned page, std::span<const std::uint16_t, kPageWords> data);

    std::uint16_t Word(unsigned address) const { return words_.at(address); }
    const Words& All() const { return words_; }
    Words& All() { return words_; }

private:
    Words words_{};
};

}  // namespace tarnel::sim
