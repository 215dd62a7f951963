#include "cli/CliOptions.h"

#include <algorithm>
#include <utility>

namespace tarnel::cli {
namespace {

constexpr char kAdapterOption[] = "--adapter";
constexpr char kReportOption[] = "--report";

// The option that takes a value which `argument` names ("--adapter", "--adapter=V", "-a",
// "--report", "--report=V"), or null.
const char* ValueOption(const std::string& argument) {
    const auto names = [&argument](const std::string& option) {
        return argument == option || argument.rfind(option + "=", 0) == 0;
    };
    if (names(kAdapterOption) || argument == "-a") {
        return kAdapterOption;
    }
    return names(kReportOption) ? kReportOption : nullptr;
}

CliOptions Only(CliAction action) {
    CliOptions options;
    options.action = action;
    return options;
}

CliOptions UsageError(std::string why) {
    CliOptions options = Only(CliAction::UsageError);
    options.error = std::move(why);
    return options;
}

}  // namespace

CliOptions ParseCliArguments(const std::vector<std::string>& arguments) {
    const auto given = [&](const char* option) {
        const auto end = std::find(arguments.begin(), arguments.end(), "--");
        return std::find(arguments.begin(), end, option) != end;
    };
    if (given("--help") || given("-h")) {
        return Only(CliAction::Help);
    }
    if (given("--version")) {
        return Only(CliAction::Version);
    }

    CliOptions options;
    std::vector<std::string> images;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            images.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (const char* option = ValueOption(argument)) {
            std::string value;
            const std::size_t equals = argument.find('=');
            if (equals != std::string::npos) {
                value = argument.substr(equals + 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            }
            if (option == kAdapterOption) {
                if (value.empty()) {
                    return UsageError("--adapter needs a serial number or port");
                }
                options.adapters.push_back(value);
            } else {
                if (value.empty()) {
                    return UsageError("--report needs a file name");
                }
                if (options.report) {
                    return UsageError("--report given twice");
                }
                options.report = value;
            }
        } else if (argument == "--all") {
            options.all = true;
        } else {
            return UsageError("unknown option " + argument);
        }
    }
    if (options.all && !options.adapters.empty()) {
        return UsageError("--all and --adapter name the adapters twice");
    }
    if (images.empty()) {
        return UsageError("no image named");
    }
    if (images.size() > 1) {
        return UsageError("one image at a time (given: " + images[0] + ", " + images[1] + ")");
    }
    options.action = CliAction::Program;
    options.image = images.front();
    return options;
}

bool IsGang(const CliOptions& options) {
    return options.all || options.adapters.size() > 1 || options.report.has_value();
}

const char* CliUsage() {
    return "Usage: tarnel-cli [--adapter SERIAL|PORT] IMAGE.rom\n"
           "       tarnel-cli (--all | -a SERIAL|PORT -a ...) [--report FILE.json] IMAGE.rom\n"
           "       tarnel-cli --help | --version\n"
           "Programs IMAGE.rom into the target's flash through the Dravin adapter, as\n"
           "'tarnel -cc -p IMAGE.rom' does, without a window; with --all or several\n"
           "adapters, on every board at once (a gang), one process per adapter.\n"
           "\n"
           "  -a, --adapter SERIAL|PORT  the adapter to use, by serial number or USB port\n"
           "                         path (as tarnel-adapters prints them); the same choice\n"
           "                         as TARNEL_ADAPTER, which it replaces for this run;\n"
           "                         repeated: a gang of those adapters\n"
           "  --all                  a gang of every usable adapter\n"
           "  --report FILE.json     a gang's report: one record per board\n"
           "  --help                 this text\n"
           "  --version              the version\n"
           "\n"
           "The bootloader image flash.ram is read from the folder of the executable.\n"
           "Environment: TARNEL_ADAPTER, TARNEL_LOG (event log; - for standard error),\n"
           "TARNEL_DRIVER (libftdi or d2xx), TARNEL_D2XX_LIBRARY.\n"
           "\n"
           "Exit status: 0 programmed; 1 debug-port or programming failure; 2 file,\n"
           "adapter or driver failure; 64 wrong command line. A gang: 0 every board\n"
           "programmed; 1 any failed; 2 no usable adapter or the image refused (nothing\n"
           "started); 130, 143 or 129 stopped by Ctrl-C, SIGTERM or SIGHUP.\n";
}

}  // namespace tarnel::cli
