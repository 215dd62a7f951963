#pragma once
// Faults that the simulated adapter and target can be told to show, and the parser of
// their comma-separated token list (the TARNEL_SIM_FAULTS syntax).

#include <optional>
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
    unsigned busyPolls = 0;   // busy-polls=K: each mailbox command reads busy K times first
    bool eraseBusy = false;   // erase-busy: the erase never finishes
    bool eraseError = false;  // erase-error: the erase answers 2
    std::optional<unsigned> pageError;  // page-error=P: programming page P answers 2

    friend bool operator==(const Faults&, const Faults&) = default;
};

// Parses a list such as "silent-probe=1,busy-polls=3". Blanks around tokens and empty
// tokens are allowed; an unknown token, a missing or malformed number, a count of 0 where
// the count names a call, a page outside 0..127 and a token given twice are refused:
// the result is empty and `error` (when given) says which token is wrong.
std::optional<Faults> ParseFaults(std::string_view text, std::string* error = nullptr);

}  // namespace tarnel::sim
