#include "cli/CliOptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tarnel::cli {
namespace {

// An option that takes a value, as "--name VALUE" or "--name=VALUE"; take stores it and
// returns what is wrong with it, or nothing.
struct ValueOption {
    const char* name;
    const char* what;  // what the value is, for "--name needs ..."
    std::string (*take)(const std::string& value, CliOptions& options);
};

const ValueOption kValueOptions[] = {
    {"--adapter", "a serial number or port",
     [](const std::string& value, CliOptions& options) {
         options.adapter = value;
         return std::string();
     }},
    {"--format", "a format name",
     [](const std::string& value, CliOptions& options) {
         const ImageFormatInfo* info = FindImageFormat(value);
         if (info == nullptr) {
             return "unknown image format " + value + " (formats: " + ImageFormatNames() + ")";
         }
         options.format = info->format;
         return std::string();
     }},
    {"--base", "a byte address",
     [](const std::string& value, CliOptions& options) {
         char* end = nullptr;
         errno = 0;
         const unsigned long long base = std::strtoull(value.c_str(), &end, 0);
         if (value[0] == '-' || *end != '\0' || errno != 0) {
             return "--base takes a byte address, decimal or 0x hex, not " + value;
         }
         options.imageOptions.base = base;
         return std::string();
     }},
    {"--byte-order", "little or big",
     [](const std::string& value, CliOptions& options) {
         if (value != "little" && value != "big") {
             return "--byte-order is little or big, not " + value;
         }
         options.imageOptions.byteOrder = value == "big" ? ByteOrder::Big : ByteOrder::Little;
         return std::string();
     }},
};

// The option that `argument` names, alone or with "=VALUE"; nothing for any other.
const ValueOption* FindValueOption(const std::string& argument) {
    for (const ValueOption& option : kValueOptions) {
        const std::size_t n = std::strlen(option.name);
        if (argument.compare(0, n, option.name) == 0 &&
            (argument.size() == n || argument[n] == '=')) {
            return &option;
        }
    }
    return nullptr;
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
    std::vector<const ValueOption*> seen;
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
        } else if (const ValueOption* option = FindValueOption(argument)) {
            std::string value;
            if (argument == option->name) {
                if (i + 1 == arguments.size()) {
                    return UsageError(std::string(option->name) + " needs " + option->what);
                }
                value = arguments[++i];
            } else {
                value = argument.substr(std::strlen(option->name) + 1);
            }
            if (value.empty()) {
                return UsageError(std::string(option->name) + " needs " + option->what);
            }
            if (std::find(seen.begin(), seen.end(), option) != seen.end()) {
                return UsageError(std::string(option->name) + " given twice");
            }
            seen.push_back(option);
            if (std::string why = option->take(value, options); !why.empty()) {
                return UsageError(why);
            }
        } else {
            return UsageError("unknown option " + argument);
        }
    }
    const bool binary = options.format == ImageFormat::Binary;
    const bool based = std::any_of(seen.begin(), seen.end(), [](const ValueOption* option) {
        return std::strcmp(option->name, "--base") == 0;
    });
    if (binary != based) {
        return UsageError(binary ? "--format=bin needs --base=ADDRESS, where its first byte goes"
                                 : "--base is for --format=bin only");
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
    return "Usage: tarnel-cli [--lenient] [--adapter SERIAL|PORT] [--format=NAME]\n"
           "                  [--base=ADDRESS] [--byte-order=little|big] IMAGE\n"
           "       tarnel-cli --check [--lenient] [--format=NAME] [--base=ADDRESS]\n"
           "                  [--byte-order=little|big] IMAGE\n"
           "       tarnel-cli --help | --version\n"
           "Programs IMAGE into the target's flash through the Dravin adapter, as\n"
           "'tarnel -cc -p IMAGE' does, without a window.\n"
           "\n"
           "  --adapter SERIAL|PORT  the adapter to use, by serial number or USB port path\n"
           "                         (as tarnel-adapters prints them); the same choice as\n"
           "                         TARNEL_ADAPTER, which it replaces for this run\n"
           "  --check                read and check IMAGE without touching any adapter:\n"
           "                         its words, pages, addresses and the CRC-32 of the\n"
           "                         flash content it gives; exit 0 when it would be\n"
           "                         programmed, 2 when it would be refused\n"
           "  --lenient              pass over malformed records, as earlier versions did,\n"
           "                         instead of refusing the image (TARNEL_LENIENT_IMAGES=1)\n"
           "  --format=NAME          read IMAGE as rom (@ records), ihex (Intel HEX), srec\n"
           "                         (S-records), elf or bin (raw binary); by default the\n"
           "                         format is found from the content (bin never is)\n"
           "  --base=ADDRESS         with --format=bin: the byte address of its first byte\n"
           "  --byte-order=ORDER     little (default): the byte at an even address is the\n"
           "                         low half of its word (byte B is word B/2); big: the\n"
           "                         high half. For ihex, srec, elf and bin.\n"
           "  --help                 this text\n"
           "  --version              the version\n"
           "\n"
           "The bootloader image flash.ram is read from the folder of the executable.\n"
           "Environment: TARNEL_ADAPTER, TARNEL_LOG (event log; - for standard error),\n"
#ifdef _WIN32
           "TARNEL_D2XX_LIBRARY (another ftd2xx.dll), TARNEL_LENIENT_IMAGES.\n"
#else
           "TARNEL_DRIVER (libftdi or d2xx), TARNEL_D2XX_LIBRARY, TARNEL_LENIENT_IMAGES.\n"
#endif
           "\n"
           "Exit status: 0 programmed; 1 debug-port or programming failure; 2 file,\n"
           "adapter or driver failure; 64 wrong command line.\n";
}

}  // namespace tarnel::cli
