#include "cli/CliOptions.h"

#include <algorithm>
#include <utility>

namespace tarnel::cli {
namespace {

constexpr char kAdapterOption[] = "--adapter";

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
    bool check = false;
    std::vector<std::string> images;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            images.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--check") {
            check = true;
        } else if (argument == "--lenient") {
            options.lenient = true;
        } else if (argument == kAdapterOption || argument.rfind("--adapter=", 0) == 0) {
            std::string value;
            if (argument == kAdapterOption) {
                if (i + 1 == arguments.size()) {
                    return UsageError("--adapter needs a serial number or port");
                }
                value = arguments[++i];
            } else {
                value = argument.substr(sizeof kAdapterOption);
            }
            if (value.empty()) {
                return UsageError("--adapter needs a serial number or port");
            }
            if (options.adapter) {
                return UsageError("--adapter given twice");
            }
            options.adapter = value;
        } else {
            return UsageError("unknown option " + argument);
        }
    }
    if (images.empty()) {
        return UsageError("no image named");
    }
    if (images.size() > 1) {
        return UsageError("one image at a time (given: " + images[0] + ", " + images[1] + ")");
    }
    options.action = check ? CliAction::Check : CliAction::Program;
    options.image = images.front();
    return options;
}

const char* CliUsage() {
    return "Usage: tarnel-cli [--lenient] [--adapter SERIAL|PORT] IMAGE.rom\n"
           "       tarnel-cli --check [--lenient] IMAGE.rom\n"
           "       tarnel-cli --help | --version\n"
           "Programs IMAGE.rom into the target's flash through the Dravin adapter, as\n"
           "'tarnel -cc -p IMAGE.rom' does, without a window.\n"
           "\n"
           "  --adapter SERIAL|PORT  the adapter to use, by serial number or USB port path\n"
           "                         (as tarnel-adapters prints them); the same choice as\n"
           "                         TARNEL_ADAPTER, which it replaces for this run\n"
           "  --check                read and check IMAGE.rom without touching any adapter:\n"
           "                         its words, pages, addresses and the CRC-32 of the\n"
           "                         flash content it gives; exit 0 when it would be\n"
           "                         programmed, 2 when it would be refused\n"
           "  --lenient              pass over malformed records, as earlier versions did,\n"
           "                         instead of refusing the image (TARNEL_LENIENT_IMAGES=1)\n"
           "  --help                 this text\n"
           "  --version              the version\n"
           "\n"
           "The bootloader image flash.ram is read from the folder of the executable.\n"
           "Environment: TARNEL_ADAPTER, TARNEL_LOG (event log; - for standard error),\n"
           "TARNEL_DRIVER (libftdi or d2xx), TARNEL_D2XX_LIBRARY, TARNEL_LENIENT_IMAGES.\n"
           "\n"
           "Exit status: 0 programmed; 1 debug-port or programming failure; 2 file,\n"
           "adapter or driver failure; 64 wrong command line.\n";
}

}  // namespace tarnel::cli
