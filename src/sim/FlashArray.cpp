#include "sim/FlashArray.h"

namespace tarnel::sim {

bool FlashArray::ProgramPage(unsigned page, std::span<const std::uint16_t, kPageWords> data) {
    if (page >= kFlashPages) {
        return false;
    }
    const unsigned base = page * kPageWords;
    for (unsigned j = 0; j < kPageWords; ++j) {
        std::uint16_t& cell = words_[base + j];
        cell = static_cast<std::uint16_t>(cell & data[j]);
        if (cell != data[j]) {
            return false;
        }
    }
    return true;
}

}  // namespace tarnel::sim
