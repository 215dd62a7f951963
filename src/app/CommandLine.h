#pragma once
// The tool's command line: -c, -cc, -p and a file name.

#include <optional>
#include <string>
#include <vector>

namespace tarnel {

struct CommandLineOptions {
    bool closeAfterProgram = false;       // -c or -cc
    bool quiet = false;                   // -cc
    bool programAtStart = false;          // -p
    std::optional<std::string> fileName;  // the last argument that is none of the options
};

// Reads the arguments after the program name, whole and case-sensitive. Anything that is
// not exactly one of the three options is a file name; the last one wins.
CommandLineOptions ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace tarnel
