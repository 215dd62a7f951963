#pragma once
// The option grammar shared by the command-line tools (tarnel-cli, tarnel-adapters): one
// table of options, read with getopt_long, so that every tool spells, checks and explains
// an option alike. A tool names the options it takes; -h/--help and -V/--version are
// always taken. "--" ends the options; options and operands may come in any order.
//
// To add an option: a row in kToolOptions (ToolOptions.cpp), a field in ToolOptions, and
// its bit in the `accepted` set of each tool that takes it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnel {

// The options a tool may take besides --help and --version, as bits of a set.
enum ToolOption : std::uint32_t {
    kOptionAdapter = 1u << 0,    // -a, --adapter SERIAL|PORT
    kOptionQuiet = 1u << 1,      // -q, --quiet
    kOptionVerbose = 1u << 2,    // -v, --verbose
    kOptionLog = 1u << 3,        // --log FILE
    kOptionCheck = 1u << 4,      // --check
    kOptionLenient = 1u << 5,    // --lenient
    kOptionFormat = 1u << 6,     // --format NAME
    kOptionBase = 1u << 7,       // --base ADDRESS
    kOptionByteOrder = 1u << 8,  // --byte-order little|big
    kOptionAll = 1u << 9,        // --all (a gang); -a may then be given more than once
    kOptionReport = 1u << 10,    // --report FILE
};

enum class ToolAction { Run, Help, Version, UsageError };

struct ToolOptions {
    ToolAction action = ToolAction::UsageError;
    std::optional<std::string> adapter;  // -a: the adapter's serial number or port path
    std::vector<std::string> adapters;   // every -a, in order (more than one: a gang)
    bool all = false;                    // --all: every usable adapter (a gang)
    std::optional<std::string> report;   // --report: the gang's report file
    bool quiet = false;                  // -q: report failures only
    bool verbose = false;                // -v: say more about the run
    std::optional<std::string> logPath;  // --log: the event log, as TARNEL_LOG names it
    bool check = false;                  // --check: check the image, program nothing
    bool lenient = false;                // --lenient: pass over malformed records
    // --format, --base, --byte-order as given: the tool checks their values, since the
    // names of the image formats are not this layer's.
    std::optional<std::string> format;
    std::optional<std::string> base;
    std::optional<std::string> byteOrder;
    std::vector<std::string> operands;  // the arguments that are not options, in order
    std::string error;                  // UsageError: what is wrong, in one line
};

// Reads the arguments after the program name with the options of `accepted`. Returns
// Help or Version when either is given as an option (help first), whatever else is wrong;
// UsageError for an option that is unknown or not accepted, a missing or empty value, -q
// with -v, a second --adapter (unless --all is accepted: then several make a gang, and
// --all with --adapter is refused), a second --report; otherwise Run with the operands. Leaves
// getopt's global state ready for another call.
ToolOptions ParseToolOptions(const std::vector<std::string>& arguments, std::uint32_t accepted);

// The options of `accepted` (help and version included) as the usage text lists them,
// one per line: "  -a, --adapter SERIAL|PORT  ..." with its line end.
std::string ToolOptionsHelp(std::uint32_t accepted);

// The spelling of each option of `accepted`, short and long ("-a", "--adapter"), for the
// tests that hold the documents to the grammar.
std::vector<std::string> ToolOptionNames(std::uint32_t accepted);

}  // namespace tarnel
