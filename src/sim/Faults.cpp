#include "sim/Faults.h"

#include <charconv>
#include <set>

namespace tarnel::sim {
namespace {

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
std::optional<unsigned> ParseCount(std::string_view digits) {
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

// Applies one token; returns an explanation when it is refused.
std::optional<std::string> Apply(std::string_view token, Faults& faults) {
    const auto eq = token.find('=');
    const std::string_view name = token.substr(0, eq);
    const bool hasValue = eq != std::string_view::npos;

    bool* flag = nullptr;
    if (name == "no-adapter") {
        flag = &faults.noAdapter;
    } else if (name == "foreign-first") {
        flag = &faults.foreignFirst;
    } else if (name == "open-fails") {
        flag = &faults.openFails;
    } else if (name == "erase-busy") {
        flag = &faults.eraseBusy;
    } else if (name == "erase-error") {
        flag = &faults.eraseError;
    }
    if (flag != nullptr) {
        if (hasValue) {
            return "fault '" + std::string(name) + "' takes no value";
        }
        *flag = true;
        return std::nullopt;
    }

    unsigned* count = nullptr;
    unsigned minimum = 1;
    if (name == "silent-probe") {
        count = &faults.silentProbes;
    } else if (name == "write-error") {
        count = &faults.writeError;
    } else if (name == "short-write") {
        count = &faults.shortWrite;
    } else if (name == "short-read") {
        count = &faults.shortRead;
    } else if (name == "read-error") {
        count = &faults.readError;
    } else if (name == "busy-polls") {
        count = &faults.busyPolls;
        minimum = 0;
    } else if (name != "page-error") {
        return "unknown fault '" + std::string(token) + "'";
    }
    const auto value = hasValue ? ParseCount(token.substr(eq + 1)) : std::nullopt;
    if (!value) {
        return "fault '" + std::string(name) + "' needs a decimal number: '" + std::string(token) +
               "'";
    }
    if (count == nullptr) {
        if (*value > 127) {
            return "page-error names a page outside 0..127: '" + std::string(token) + "'";
        }
        faults.pageError = *value;
        return std::nullopt;
    }
    if (*value < minimum) {
        return "fault '" + std::string(name) + "' counts from 1: '" + std::string(token) + "'";
    }
    *count = *value;
    return std::nullopt;
}

}  // namespace

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
