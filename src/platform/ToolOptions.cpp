#include "platform/ToolOptions.h"

#include <getopt.h>

#include <algorithm>

#include <iterator>

namespace tarnel {
namespace {

constexpr std::uint32_t kAlwaysTaken = 0;  // the bit of --help and --version: none

struct OptionRow {
    std::uint32_t bit;      // kAlwaysTaken, or the ToolOption that a tool must accept
    char shortName;         // '\0': long only
    const char* longName;   // without the dashes
    const char* valueName;  // null: takes no value
    const char* help;       // what the option does, continued lines start with '\n'
};

// Every option of every tool; a tool takes the rows of its `accepted` set. --help and
// --version need no character of their own beyond their short names.
constexpr OptionRow kToolOptions[] = {
    {kOptionAdapter, 'a', "adapter", "SERIAL|PORT",
     "use only this adapter: its serial number or USB\n"
     "port path, as tarnel-adapters prints them;\n"
     "replaces TARNEL_ADAPTER"},
    {kOptionQuiet, 'q', "quiet", nullptr, "print nothing but failures"},
    {kOptionVerbose, 'v', "verbose", nullptr,
     "also print each stage's time, the adapter, the\ndriver and the bootloader file read"},
    {kOptionLog, '\0', "log", "FILE",
     "append the event log to FILE (-: standard\nerror); replaces TARNEL_LOG"},
    {kOptionCheck, '\0', "check", nullptr, "check the image and exit; nothing is programmed"},
    {kOptionLenient, '\0', "lenient", nullptr,
     "pass over malformed records instead of refusing\nthe file"},
    {kOptionFormat, '\0', "format", "NAME",
     "read the image as rom (@ records), ihex (Intel\nHEX), srec (S-records), elf or bin (raw "
     "binary);\n"
     "by default the format is found from the content\n(bin never is)"},
    {kOptionBase, '\0', "base", "ADDRESS",
     "with --format=bin: the byte address of its first\nbyte (decimal or 0x hex)"},
    {kOptionByteOrder, '\0', "byte-order", "ORDER",
     "little (default): the byte at an even address is\nthe low half of its word (byte B is word "
     "B/2);\n"
     "big: the high half"},
    {kOptionAll, '\0', "all", nullptr,
     "program every usable adapter at once (a gang);\n-a given more than once: those adapters"},
    {kOptionReport, '\0', "report", "FILE",
     "write a gang's report to FILE: one JSON record\nper board"},
    {kAlwaysTaken, 'h', "help", nullptr, "print this text and exit"},
    {kAlwaysTaken, 'V', "version", nullptr, "print the version and exit"},
};

// getopt_long's code for a long-only option: past every character.
constexpr int kLongOnlyBase = 256;

bool Taken(const OptionRow& row, std::uint32_t accepted) {
    return row.bit == kAlwaysTaken || (row.bit & accepted) != 0;
}

int Code(const OptionRow& row) {
    return row.shortName != '\0'
               ? row.shortName
               : kLongOnlyBase + static_cast<int>(&row - std::begin(kToolOptions));
}

const OptionRow* RowOf(int code) {
    for (const OptionRow& row : kToolOptions) {
        if (Code(row) == code) {
            return &row;
        }
    }
    return nullptr;
}

std::string Spelling(const OptionRow& row) {
    return std::string("--") + row.longName;
}

}  // namespace

ToolOptions ParseToolOptions(const std::vector<std::string>& arguments, std::uint32_t accepted) {
    // ':' first: a missing value is told apart from an unknown option; no '+': options may
    // follow operands, as GNU tools take them.
    std::string shortOptions = ":";
    std::vector<option> longOptions;
    for (const OptionRow& row : kToolOptions) {
        if (!Taken(row, accepted)) {
            continue;
        }
        if (row.shortName != '\0') {
            shortOptions += row.shortName;
            if (row.valueName != nullptr) {
                shortOptions += ':';
            }
        }
        longOptions.push_back({row.longName,
                               row.valueName != nullptr ? required_argument : no_argument, nullptr,
                               Code(row)});
    }
    longOptions.push_back({nullptr, 0, nullptr, 0});

    // getopt_long permutes its array: it works on copies.
    std::vector<std::string> copies;
    copies.reserve(arguments.size() + 1);
    copies.emplace_back("tool");
    copies.insert(copies.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& copy : copies) {
        argv.push_back(copy.data());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(copies.size());

    ToolOptions options;
    bool help = false;
    bool version = false;
    std::string error;  // the first wrong thing found
    const auto refuse = [&](std::string why) {
        if (error.empty()) {
            error = std::move(why);
        }
    };
    optind = 0;  // a full new scan, on glibc and MinGW-w64 alike
    opterr = 0;
    for (;;) {
        const int code =
            getopt_long(argc, argv.data(), shortOptions.c_str(), longOptions.data(), nullptr);
        if (code == -1) {
            break;
        }
        if (code == '?') {
            refuse("unknown option " + (optopt != 0 ? std::string{'-', static_cast<char>(optopt)}
                                                    : std::string(argv[optind - 1])));
            continue;
        }
        const OptionRow* row = RowOf(code == ':' ? optopt : code);
        if (code == ':' || row == nullptr) {
            // A long option's missing value leaves optopt at its code; a short one's at
            // its character.
            refuse(row != nullptr ? Spelling(*row) + " needs a value (" + row->valueName + ")"
                                  : "an option needs a value");
            continue;
        }
        const std::string value = optarg != nullptr ? optarg : "";
        if (row->valueName != nullptr && value.empty()) {
            refuse(Spelling(*row) + " needs a value (" + row->valueName + ")");
            continue;
        }
        switch (row->bit) {
            case kOptionAdapter:
                // One adapter per run, unless the tool programs gangs: the single place
                // that refuses a second one.
                if (options.adapter && (accepted & kOptionAll) == 0) {
                    refuse("--adapter given twice");
                }
                if (!options.adapter) {
                    options.adapter = value;
                }
                options.adapters.push_back(value);
                break;
            case kOptionAll:
                options.all = true;
                break;
            case kOptionReport:
                if (options.report) {
                    refuse("--report given twice");
                }
                options.report = value;
                break;
            case kOptionQuiet:
                options.quiet = true;
                break;
            case kOptionVerbose:
                options.verbose = true;
                break;
            case kOptionLog:
                options.logPath = value;
                break;
            case kOptionCheck:
                options.check = true;
                break;
            case kOptionLenient:
                options.lenient = true;
                break;
            case kOptionFormat:
                options.format = value;
                break;
            case kOptionBase:
                options.base = value;
                break;
            case kOptionByteOrder:
                options.byteOrder = value;
                break;
            default:
                help = help || row->shortName == 'h';
                version = version || row->shortName == 'V';
                break;
        }
    }
    for (int i = optind; i < argc; ++i) {
        options.operands.emplace_back(argv[static_cast<std::size_t>(i)]);
    }
    optind = 0;
    if (options.quiet && options.verbose) {
        refuse("--quiet and --verbose exclude each other");
    }
    if (options.all && !options.adapters.empty()) {
        refuse("--all and --adapter name the adapters twice");
    }

    if (help || version) {
        options.action = help ? ToolAction::Help : ToolAction::Version;
    } else if (!error.empty()) {
        options.error = error;
    } else {
        options.action = ToolAction::Run;
    }
    return options;
}

std::string ToolOptionsHelp(std::uint32_t accepted) {
    constexpr std::size_t kHelpColumn = 30;
    std::string text;
    for (const OptionRow& row : kToolOptions) {
        if (!Taken(row, accepted)) {
            continue;
        }
        std::string line = "  ";
        line += row.shortName != '\0' ? std::string{'-', row.shortName, ','} + " " : "    ";
        line += Spelling(row);
        if (row.valueName != nullptr) {
            line += std::string(" ") + row.valueName;
        }
        line.resize(std::max(line.size() + 2, kHelpColumn), ' ');
        for (const char* c = row.help; *c != '\0'; ++c) {
            line += *c;
            if (*c == '\n') {
                line += std::string(kHelpColumn, ' ');
            }
        }
        text += line + "\n";
    }
    return text;
}

std::vector<std::string> ToolOptionNames(std::uint32_t accepted) {
    std::vector<std::string> names;
    for (const OptionRow& row : kToolOptions) {
        if (Taken(row, accepted)) {
            if (row.shortName != '\0') {
                names.push_back(std::string{'-', row.shortName});
            }
            names.push_back(Spelling(row));
        }
    }
    return names;
}

}  // namespace tarnel
