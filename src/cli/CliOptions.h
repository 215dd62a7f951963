#pragma once
// The command line of tarnel-cli:
//   tarnel-cli [--lenient] [--adapter SERIAL|PORT] [--format=NAME] [--base=ADDRESS]
//              [--byte-order=ORDER] IMAGE
//   tarnel-cli --check [--lenient] [--format=NAME] [--base=ADDRESS] [--byte-order=ORDER] IMAGE
//   tarnel-cli --help | --version

#include <optional>
#include <string>
#include <vector>

#include "scan/ImageFormats.h"

namespace tarnel::cli {

enum class CliAction { Program, Check, Help, Version, UsageError };

struct CliOptions {
    CliAction action = CliAction::UsageError;
    std::string image;                   // Program, Check: the image
    bool lenient = false;                // --lenient: malformed records are passed over
    std::optional<std::string> adapter;  // --adapter: the choice TARNEL_ADAPTER makes
    std::optional<ImageFormat> format;   // --format: nothing, found from the content
    ImageReadOptions imageOptions;       // --byte-order, --base
    std::string error;                   // UsageError: what is wrong, in one line
};

// Reads the arguments after the program name. --help or --version anywhere wins over the
// rest. Otherwise exactly one image is needed; "--adapter VALUE" and "--adapter=VALUE"
// take a non-empty value, and so do --format (a name of ImageFormats()), --base (a byte
// address, decimal or 0x hex; only with, and needed by, --format=bin) and --byte-order
// (little or big); each option at most once. --check makes the action Check; "--" ends the
// options, so an image name may start with '-'. Anything else that starts with '-' is an
// unknown option.
CliOptions ParseCliArguments(const std::vector<std::string>& arguments);

// The usage text that --help prints, with its line end.
const char* CliUsage();

}  // namespace tarnel::cli
