#pragma once
// The command line of tarnel-usb-emulator: its options, the command to run, and the help.

#include <optional>
#include <string>
#include <vector>

namespace tarnel::usbemu {

// How a bulk OUT transfer fails while the device stays present.
enum class OutFault {
    Stall,    // the endpoint stalls: the transfer ends with EPIPE, no byte taken
    TimeOut,  // the chip takes nothing and never completes it: the host's time-out ends it
    Short,    // the chip takes the first half of the bytes and completes it as done
};

// As many adapters as a gang of the production line takes.
inline constexpr unsigned kMaxAdapters = 8;

struct EmulatorOptions {
    unsigned adapters = 1;
    bool foreignFirst = false;
    bool serialDriver = false;
    bool noPermission = false;
    unsigned heldAdapter = 0;    // adapter (1-based) that another program holds; 0: none
    unsigned unplugAt = 0;       // 0: never
    unsigned loseAnswersAt = 0;  // 0: never
    unsigned answerDelayMs = 2;
    // Bulk OUT transfer that fails while the device stays (0: none) and how.
    unsigned outFailsAt = 0;
    OutFault outFault = OutFault::Stall;
    unsigned inFailsAfter = 0;    // the first bulk IN after this bulk OUT fails; 0: none
    unsigned fixedLatencyMs = 0;  // 0: the chip's latency timer is what the host sets
    std::string usbTrace;         // empty: none
    std::string flashDir;         // empty: TARNEL_SIM_FLASH holds the first adapter's flash
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
