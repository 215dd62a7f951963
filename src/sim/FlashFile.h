#pragma once
// The simulated flash on disk, in the image file format: "@AAAAAA VVVV" lines, upper-case
// hex, one line per word that is not blank, in ascending address order.

#include <string>

#include "sim/FlashArray.h"

namespace tarnel::sim {

enum class FlashLoad {
    Missing,     // no such file: the flash keeps its contents
    Loaded,      // the flash now holds the file's words, blank elsewhere
    OutOfRange,  // loaded, but the file also names words beyond the flash (ignored)
    Unreadable,  // the file exists but cannot be read: the flash keeps its contents
};

FlashLoad LoadFlashFile(const std::string& path, FlashArray& flash);

// Writes the whole file anew (through a temporary file renamed over it, so that a reader
// never sees half a file). Returns false when the file cannot be written.
bool SaveFlashFile(const std::string& path, const FlashArray& flash);

}  // namespace tarnel::sim
