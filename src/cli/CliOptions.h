#pragma once
// The command line of tarnel-cli:
//   tarnel-cli [--lenient] [--adapter SERIAL|PORT] IMAGE.rom
//   tarnel-cli --check [--lenient] IMAGE.rom
//   tarnel-cli --help | --version

#include <optional>
#include <string>
#include <vector>

namespace tarnel::cli {

enum class CliAction { Program, Check, Help, Version, UsageError };

struct CliOptions {
    CliAction action = CliAction::UsageError;
    std::string image;                   // Program, Check: the image
    bool lenient = false;                // --lenient: malformed records are passed over
    std::optional<std::string> adapter;  // --adapter: the choice TARNEL_ADAPTER makes
    std::string error;                   // UsageError: what is wrong, in one line
};

// Reads the arguments after the program name. --help or --version anywhere wins over the
// rest. Otherwise exactly one image is needed; "--adapter VALUE" and "--adapter=VALUE"
// take a non-empty value; --check makes the action Check; "--" ends the options, so an image name
// may start with '-'. Anything else that starts with '-' is an unknown option.
CliOptions ParseCliArguments(const std::vector<std::string>& arguments);

// The usage text that --help prints, with its line end.
const char* CliUsage();

}  // namespace tarnel::cli
