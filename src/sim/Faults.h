#pragma once
// Faults that the simulated adapter and target can be told to show, the table that names
// them, and the parser of their comma-separated token list (the TARNEL_SIM_FAULTS syntax).
// Adding a fault is adding a field below and a row to the table in Faults.cpp; the parser,
// the list that `FaultHelp` prints and the checks of each value all follow from the row.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarnel::sim {

struct Faults {
    bool noAdapter = false;     // no-adapter: no device is listed
    bool foreignFirst = false;  // foreign-first: another device is listed before the adapter
    bool openFails = false;     // open-fails: device 0 cannot be opened, the adapter is at 1
    unsigned silentProbes = 0;  // silent-probe=N: the first N probe bytes go unanswered
    // The N-th call of the process (counting from 1) fails; 0 means never.
    unsigned writeError = 0;  // write-error=N
    unsigned shortWrite = 0;  // short-write=N
    unsigned shortRead = 0;   // short-read=N
    unsigned readError = 0;   // read-error=N
    // sigint-at=N, sigterm-at=N, sighup-at=N: the process sends itself the signal (number
    // stopSignal) as the N-th FT_Read returns, as a person stopping the run at that point.
    unsigned stopSignalAt = 0;
    int stopSignal = 0;
    unsigned busyPolls = 0;   // busy-polls=K: each mailbox command reads busy K times first
    bool eraseBusy = false;   // erase-busy: the erase never finishes
    bool eraseError = false;  // erase-error: the erase answers 2
    std::optional<unsigned> pageError;  // page-error=P: programming page P answers 2

    friend bool operator==(const Faults&, const Faults&) = default;
};

// What follows the '=' of a token, and which values are accepted.
enum class FaultArgument {
    None,     // a bare name
    Ordinal,  // N: a decimal number from 1 (the N-th call, the first N bytes)
    Count,    // K: a decimal number from 0
    Page,     // P: a flash page number, 0..127
};

struct FaultDefinition {
    std::string_view name;
    FaultArgument argument;
    std::string_view help;  // one line, without the name
    // Stores the fault in `faults`; `value` is 0 for a bare name.
    void (*apply)(Faults& faults, unsigned value);
};

// Every fault, in the order that the help lists them.
std::span<const FaultDefinition> FaultTable();

// One line per fault: the token as it is written ("write-error=N") and its help text; then
// a line on the values that N, K and P take.
std::string FaultHelp();

// Parses a list such as "silent-probe=1,busy-polls=3". Blanks around tokens and empty
// tokens are allowed; an unknown token, a missing or malformed number, a value that the
// fault's argument kind does not accept and a token given twice are refused: the result is
// empty and `error` (when given) says which token is wrong.
std::optional<Faults> ParseFaults(std::string_view text, std::string* error = nullptr);

}  // namespace tarnel::sim
