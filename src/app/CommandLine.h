#pragma once
// The tool's command line: -c, -cc, -p, --adapter and a file name.

#include <optional>
#include <string>
#include <vector>

namespace tarnel {

struct CommandLineOptions {
    bool closeAfterProgram = false;       // -c or -cc
    bool quiet = false;                   // -cc
    bool programAtStart = false;          // -p
    std::optional<std::string> fileName;  // the last argument that is none of the options
    std::optional<std::string> adapter;   // --adapter: the choice TARNEL_ADAPTER makes
};

// Reads the arguments after the program name, whole and case-sensitive. "--adapter VALUE"
// and "--adapter=VALUE" choose the adapter (a non-empty value; the last one wins).
// Anything that is not exactly one of the options is a file name; the last one wins (an
// "--adapter" without a value too, as it always was).
CommandLineOptions ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace tarnel
