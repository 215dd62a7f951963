#pragma once
// The answers to --help and --version, given before any window or display is needed.

#include <optional>
#include <string>
#include <string_view>

namespace tarnel {

// The usage: the command line, the options, where the bootloader is looked for, the
// environment variables and the exit codes. `program` is the name it was started by.
std::string UsageText(std::string_view program);

// "PROGRAM VERSION", the version being the build's one version number.
std::string VersionText(std::string_view program);

// When an argument is exactly --help (or else --version), prints the answer on standard
// output and returns the exit status 0; otherwise nothing, and the run goes on.
std::optional<int> AnswerHelpOrVersion(int argc, char** argv);

}  // namespace tarnel
