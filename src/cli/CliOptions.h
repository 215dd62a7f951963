#pragma once
// The command line of tarnel-cli:
//   tarnel-cli [-q | -v] [-a SERIAL|PORT] [--log FILE] [--lenient] [IMAGE OPTIONS] [--] IMAGE
//   tarnel-cli --check [--lenient] [IMAGE OPTIONS] [--] IMAGE
//   tarnel-cli (--all | -a SERIAL|PORT -a ...) [--report FILE] [--log FILE] [IMAGE OPTIONS]
//              [--] IMAGE
//   tarnel-cli -h | --help | -V | --version
// where IMAGE OPTIONS are --format NAME, --base ADDRESS and --byte-order ORDER, read with
// the tools' shared grammar (platform/ToolOptions.h).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ToolOptions.h"
#include "scan/ImageFormats.h"

namespace tarnel::cli {

// The options tarnel-cli takes besides --help and --version.
inline constexpr std::uint32_t kCliOptions =
    kOptionAdapter | kOptionQuiet | kOptionVerbose | kOptionLog | kOptionCheck | kOptionLenient |
    kOptionFormat | kOptionBase | kOptionByteOrder | kOptionAll | kOptionReport;

// How the image is to be read, from --format, --base and --byte-order.
struct CliImageOptions {
    std::optional<ImageFormat> format;  // nothing: found from the content
    ImageReadOptions read;              // byte order and raw binary's base
};

// Reads the arguments after the program name: ParseToolOptions, and for Run exactly one
// operand, the image (UsageError "no image named" or "one image at a time" otherwise) and
// image options that hold (--format a name of ImageFormats(); --base a byte address,
// decimal or 0x hex, only with, and needed by, --format=bin; --byte-order little or big),
// which go into `image`.
ToolOptions ParseCliArguments(const std::vector<std::string>& arguments, CliImageOptions& image);

// Whether `options` ask for a gang: --all, more than one adapter, or a report.
bool IsGang(const ToolOptions& options);

// The lines that name the command's forms ("Usage: ..."), which a wrong command line
// repeats on standard error.
std::string CliSynopsis();

// The whole text that --help prints: the forms, the options, where the bootloader is
// looked for, the environment and the exit codes.
std::string CliUsage();

}  // namespace tarnel::cli
