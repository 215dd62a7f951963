#pragma once
// Runs tarnel-sim (or another program that installs the simulated backend) as a process
// with the TARNEL_SIM_* variables, and hands back what the end-to-end tests check: the
// exit status, the wire trace and the simulated flash.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarnel::test {

struct SimRunRequest {
    std::vector<std::string> arguments;  // after the program name
    std::string faults;                  // TARNEL_SIM_FAULTS; empty: no fault
    // Contents of the flash file before the run; none: the run starts without the file
    // (a blank flash).
    std::optional<std::string> initialFlash;
    std::chrono::milliseconds timeout{std::chrono::seconds(30)};
    // The program to run; empty: tarnel-sim beside the built tools.
    std::string executable;
    // Run with no display and no platform chosen, as on a headless machine, instead of
    // on the offscreen platform chosen by the caller.
    bool headless = false;
    // Send SIGTERM (a polite close) once the program has run this long; the time-out
    // still applies after it.
    std::optional<std::chrono::milliseconds> terminateAfter;
    // NAME=VALUE entries for the program's environment, in place of the caller's values
    // of those names (DISPLAY with headless, for a display of the test's own).
    std::vector<std::string> environment;
    // Files copied into the folder the program runs in (its current folder) before it
    // starts: source path and name there.
    std::vector<std::pair<std::string, std::string>> filesInFolder;
};

struct SimRunResult {
    bool started = false;        // the program could be started
    bool timedOut = false;       // it was killed after the time-out
    int exitStatus = -1;         // its exit status; -1 when it ended by a signal or timed out
    int signal = 0;              // the signal that ended it, if any
    bool terminateSent = false;  // it was still running when terminateAfter had passed

    std::vector<std::string> trace;           // every line of the wire trace
    std::vector<std::string> calls;           // the trace lines that are not comments
    std::vector<std::string> protocolErrors;  // the text of each "# protocol error: " line

    bool flashWritten = false;         // the flash file exists after the run
    std::vector<std::uint16_t> flash;  // 32768 words, 0xFFFF where the file names none
    // Lines of the flash file that break its format (exactly "@AAAAAA VVVV", upper-case
    // hex, ascending addresses below 0x8000, no 0xFFFF value), with their line numbers.
    std::vector<std::string> flashFormatErrors;

    std::string output;  // standard output and standard error together
};

// Path of tarnel-sim in the build's binary directory.
std::string TarnelSimPath();

// Runs the program in a fresh temporary directory (its working directory, which also
// holds the trace, flash and output files and is removed afterwards), with
// QT_QPA_PLATFORM=offscreen and the TARNEL_SIM_* variables set; TARNEL_SIM_* variables of
// the calling environment are not passed on.
SimRunResult RunTarnelSim(const SimRunRequest& request);

}  // namespace tarnel::test
