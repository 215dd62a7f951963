#pragma once
// The report a production line files after a gang: one JSON record per board (the layout
// is documented in README, "Gang programming").

#include <cstdint>
#include <string>
#include <vector>

#include "cli/gang/GangBoard.h"

namespace tarnel::cli {

struct GangImage {
    std::string path;     // as the user named it
    std::uint32_t crc32;  // of the flash content the image makes (erased words included)
    int pages;            // its non-blank pages
};

// The report as JSON text, with its line end: {"tool", "version", "image", "crc32",
// "boards": [one record per board, in the order of `boards`]}.
std::string GangReportText(const std::vector<BoardState>& boards, const GangImage& image,
                           const std::string& version);

}  // namespace tarnel::cli
