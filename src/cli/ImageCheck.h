#pragma once
// tarnel-cli --check: what an image would put into the flash, read and checked exactly as
// a Program request reads it, without touching any adapter.

#include <cstdio>
#include <string>

#include "program/ImageLoad.h"

namespace tarnel::cli {

// Loads the flash image at `path` with `options` and prints to `out`, one "name: value"
// line each: the image, its words inside the flash, pages, lowest and highest address,
// words beyond the flash, malformed records (each listed with its line when passed over)
// and the CRC-32 of the flash content (ImageCrc32). An image a request would refuse gets
// the request's line on standard error instead ("tarnel-cli: Cannot read flash image:
// DETAIL"). Returns 0 when the image would be programmed, else its failure's exit code (2).
int CheckImage(const std::string& path, const ImageLoadOptions& options, std::FILE* out);

}  // namespace tarnel::cli
