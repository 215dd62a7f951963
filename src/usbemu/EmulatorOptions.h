#pragma once
// The command line of tarnel-usb-emulator: its options, the command to run, and the help.

#include <optional>
#include <string>
#include <vector>

namespace tarnel::usbemu {

struct EmulatorOptions {
    unsigned adapters = 1;
    bool foreignFirst = false;
    bool serialDriver = false;
    bool noPermission = false;
    unsigned unplugAt = 0;       // 0: never
    unsigned loseAnswersAt = 0;  // 0: never
    unsigned answerDelayMs = 2;
    std::string usbTrace;  // empty: none
    std::string flashDir;  // empty: TARNEL_SIM_FLASH holds the first adapter's flash
    // Target-side faults of one adapter (1-based), in place of TARNEL_SIM_FAULTS.
    unsigned faultyAdapter = 0;  // 0: none
    std::string adapterFaults;
    bool help = false;
    std::vector<std::string> command;
};

// Parses argv[1..]. Empty, with `error` set, when the line is not understood; a command is
// required unless --help is given.
std::optional<EmulatorOptions> ParseEmulatorOptions(int argc, char** argv, std::string* error);

extern const char* const kEmulatorHelp;

}  // namespace tarnel::usbemu
