#pragma once
// The command line of tarnel-cli:
//   tarnel-cli [--adapter SERIAL|PORT] IMAGE.rom
//   tarnel-cli (--all | -a A -a B ...) [--report FILE.json] IMAGE.rom   (a gang)
//   tarnel-cli --help | --version

#include <optional>
#include <string>
#include <vector>

namespace tarnel::cli {

enum class CliAction { Program, Help, Version, UsageError };

struct CliOptions {
    CliAction action = CliAction::UsageError;
    std::string image;                  // Program: the image to program
    std::vector<std::string> adapters;  // -a/--adapter: each the choice TARNEL_ADAPTER makes
    bool all = false;                   // --all: every usable adapter
    std::optional<std::string> report;  // --report: the gang's JSON report
    std::string error;                  // UsageError: what is wrong, in one line
};

// Reads the arguments after the program name. --help or --version anywhere wins over the
// rest. Otherwise exactly one image is needed; "--adapter VALUE", "--adapter=VALUE" and
// "-a VALUE" take a non-empty value and may be repeated (a gang), but not with --all;
// "--report FILE" and "--report=FILE" likewise, once; "--" ends the options, so an image
// name may start with '-'. Anything else that starts with '-' is an unknown option.
CliOptions ParseCliArguments(const std::vector<std::string>& arguments);

// Whether `options` ask for a gang: --all, more than one adapter, or a report.
bool IsGang(const CliOptions& options);

// The usage text that --help prints, with its line end.
const char* CliUsage();

}  // namespace tarnel::cli
