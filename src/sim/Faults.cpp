#include "sim/Faults.h"

#include <array>
#include <charconv>
#include <set>

#include "sim/FlashArray.h"

namespace tarnel::sim {
namespace {

// The setter of a stop-signal fault, by the signal's number as Linux has it.
template <int kSignal>
void StopSignalAt(Faults& faults, unsigned read) {
    faults.stopSignalAt = read;
    faults.stopSignal = kSignal;
}

constexpr std::array kFaults{
    FaultDefinition{"no-adapter", FaultArgument::None, "no device is listed",
                    [](Faults& f, unsigned) { f.noAdapter = true; }},
    FaultDefinition{"foreign-first", FaultArgument::None,
                    "a device with ID 0x04036001 is listed at index 0, before the adapter",
                    [](Faults& f, unsigned) { f.foreignFirst = true; }},
    FaultDefinition{"open-fails", FaultArgument::None,
                    "the device at index 0 cannot be opened; the adapter sits at index 1",
                    [](Faults& f, unsigned) { f.openFails = true; }},
    FaultDefinition{"silent-probe", FaultArgument::Ordinal,
                    "the adapter ignores the first N probe bytes (1: the recovery pulse brings "
                    "it back; 2 or more: it stays silent)",
                    [](Faults& f, unsigned n) { f.silentProbes = n; }},
    FaultDefinition{"write-error", FaultArgument::Ordinal,
                    "the N-th FT_Write fails with status 4 (I/O error) and writes nothing",
                    [](Faults& f, unsigned n) { f.writeError = n; }},
    FaultDefinition{"short-write", FaultArgument::Ordinal,
                    "the N-th FT_Write succeeds but writes one byte fewer than asked",
                    [](Faults& f, unsigned n) { f.shortWrite = n; }},
    FaultDefinition{"short-read", FaultArgument::Ordinal,
                    "the N-th FT_Read succeeds but returns one byte fewer than asked",
                    [](Faults& f, unsigned n) { f.shortRead = n; }},
    FaultDefinition{"read-error", FaultArgument::Ordinal,
                    "the N-th FT_Read fails with status 4 (I/O error)",
                    [](Faults& f, unsigned n) { f.readError = n; }},
    // A stop from outside at an exact point of the run.
    FaultDefinition{"sigint-at", FaultArgument::Ordinal,
                    "the process sends itself SIGINT as the N-th FT_Read returns",
                    &StopSignalAt<2>},
    FaultDefinition{"sigterm-at", FaultArgument::Ordinal,
                    "the process sends itself SIGTERM as the N-th FT_Read returns",
                    &StopSignalAt<15>},
    FaultDefinition{"sighup-at", FaultArgument::Ordinal,
                    "the process sends itself SIGHUP as the N-th FT_Read returns",
                    &StopSignalAt<1>},
    FaultDefinition{"busy-polls", FaultArgument::Count,
                    "every mailbox command reads busy for K polls before its answer",
                    [](Faults& f, unsigned k) { f.busyPolls = k; }},
    FaultDefinition{"erase-busy", FaultArgument::None, "the bootloader never finishes an erase",
                    [](Faults& f, unsigned) { f.eraseBusy = true; }},
    FaultDefinition{"erase-error", FaultArgument::None, "the erase answers 2",
                    [](Faults& f, unsigned) { f.eraseError = true; }},
    FaultDefinition{"page-error", FaultArgument::Page, "programming page P answers 2",
                    [](Faults& f, unsigned p) { f.pageError = p; }},
};

std::string_view Placeholder(FaultArgument argument) {
    switch (argument) {
        case FaultArgument::Ordinal:
            return "=N";
        case FaultArgument::Count:
            return "=K";
        case FaultArgument::Page:
            return "=P";
        case FaultArgument::None:
            break;
    }
    return "";
}

std::string_view Trim(std::string_view s) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// A decimal number of at most nine digits, nothing else.
std::optional<unsigned> ParseNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 9) {
        return std::nullopt;
    }
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc{} || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

// Why `value` does not suit `argument`, or nothing when it does.
std::optional<std::string> CheckValue(FaultArgument argument, unsigned value) {
    if (argument == FaultArgument::Ordinal && value == 0) {
        return "counts from 1";
    }
    if (argument == FaultArgument::Page && value >= kFlashPages) {
        return "names a page outside 0.." + std::to_string(kFlashPages - 1);
    }
    return std::nullopt;
}

// Applies one token; returns an explanation when it is refused.
std::optional<std::string> Apply(std::string_view token, Faults& faults) {
    const auto eq = token.find('=');
    const std::string_view name = token.substr(0, eq);
    const bool hasValue = eq != std::string_view::npos;
    const std::string quoted = "fault '" + std::string(name) + "'";

    for (const FaultDefinition& fault : kFaults) {
        if (fault.name != name) {
            continue;
        }
        if (fault.argument == FaultArgument::None) {
            if (hasValue) {
                return quoted + " takes no value";
            }
            fault.apply(faults, 0);
            return std::nullopt;
        }
        const auto value = hasValue ? ParseNumber(token.substr(eq + 1)) : std::nullopt;
        if (!value) {
            return quoted + " needs a decimal number: '" + std::string(token) + "'";
        }
        if (const auto problem = CheckValue(fault.argument, *value)) {
            return quoted + " " + *problem + ": '" + std::string(token) + "'";
        }
        fault.apply(faults, *value);
        return std::nullopt;
    }
    return "unknown fault '" + std::string(token) + "'";
}

}  // namespace

std::span<const FaultDefinition> FaultTable() {
    return kFaults;
}

std::string FaultHelp() {
    std::string text;
    for (const FaultDefinition& fault : kFaults) {
        std::string token = std::string(fault.name) + std::string(Placeholder(fault.argument));
        token.resize(std::max<std::size_t>(token.size() + 2, 17), ' ');
        text += "  " + token + std::string(fault.help) + "\n";
    }
    text += "N counts from 1 over the whole process, K from 0; P is a page, 0.." +
            std::to_string(kFlashPages - 1) + ".\n";
    return text;
}

std::optional<Faults> ParseFaults(std::string_view text, std::string* error) {
    Faults faults;
    std::set<std::string, std::less<>> seen;
    while (true) {
        const auto comma = text.find(',');
        const std::string_view token = Trim(text.substr(0, comma));
        if (!token.empty()) {
            const std::string name(token.substr(0, token.find('=')));
            std::optional<std::string> problem;
            if (!seen.insert(name).second) {
                problem = "fault '" + name + "' given twice";
            } else {
                problem = Apply(token, faults);
            }
            if (problem) {
                if (error != nullptr) {
                    *error = *problem;
                }
                return std::nullopt;
            }
        }
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    return faults;
}

}  // namespace tarnel::sim
