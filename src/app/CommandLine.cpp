#include "app/CommandLine.h"

#include <string_view>

namespace tarnel {

CommandLineOptions ParseCommandLine(const std::vector<std::string>& arguments) {
    constexpr std::string_view kAdapterOption = "--adapter";
    CommandLineOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == kAdapterOption && i + 1 < arguments.size() && !arguments[i + 1].empty()) {
            options.adapter = arguments[++i];
        } else if (argument.size() > kAdapterOption.size() + 1 &&
                   argument.starts_with(std::string(kAdapterOption) + "=")) {
            options.adapter = argument.substr(kAdapterOption.size() + 1);
        } else if (argument == "-c") {
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
