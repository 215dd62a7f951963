#include "app/CommandLine.h"

namespace tarnel {

CommandLineOptions ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLineOptions options;
    for (const std::string& argument : arguments) {
        if (argument == "-c") {
            options.closeAfterProgram = true;
        } else if (argument == "-cc") {
            options.closeAfterProgram = true;
            options.quiet = true;
        } else if (argument == "-p") {
            options.programAtStart = true;
        } else {
            options.fileName = argument;
        }
    }
    return options;
}

}  // namespace tarnel
