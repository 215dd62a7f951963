#pragma once
// The command line of tarnel-cli:
//   tarnel-cli [-q | -v] [-a SERIAL|PORT] [--log FILE] [--] IMAGE.rom
//   tarnel-cli (--all | -a SERIAL|PORT -a ...) [--report FILE] [--log FILE] [--] IMAGE.rom
//   tarnel-cli -h | --help | -V | --version
// read with the tools' shared grammar (platform/ToolOptions.h).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ToolOptions.h"

namespace tarnel::cli {

// The options tarnel-cli takes besides --help and --version.
inline constexpr std::uint32_t kCliOptions =
    kOptionAdapter | kOptionQuiet | kOptionVerbose | kOptionLog | kOptionAll | kOptionReport;

// Reads the arguments after the program name: ParseToolOptions, and for Run exactly one
// operand, the image (UsageError "no image named" or "one image at a time" otherwise).
ToolOptions ParseCliArguments(const std::vector<std::string>& arguments);

// Whether `options` ask for a gang: --all, more than one adapter, or a report.
bool IsGang(const ToolOptions& options);

// The lines that name the command's forms ("Usage: ..."), which a wrong command line
// repeats on standard error.
std::string CliSynopsis();

// The whole text that --help prints: the forms, the options, where the bootloader is
// looked for, the environment and the exit codes.
std::string CliUsage();

}  // namespace tarnel::cli
