#include "platform/AdapterSelection.h"

#include <charconv>
#include <cstdlib>

namespace tarnel {
namespace {

// The whole of `text` as a number in `base`.
std::optional<std::uint32_t> Number(std::string_view text, int base) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string SelectedAdapter() {
    const char* value = std::getenv(kAdapterVariable);
    return value != nullptr ? value : "";
}

std::optional<std::uint32_t> ParseLocation(std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X")) {
        return Number(text.substr(2), 16);
    }
    const auto dash = text.find('-');
    if (dash == std::string_view::npos) {
        return Number(text, 10);
    }
    std::optional<std::uint32_t> location = Number(text.substr(0, dash), 10);
    std::string_view ports = text.substr(dash + 1);
    while (location) {
        const auto dot = ports.find('.');
        const auto port = Number(ports.substr(0, dot), 10);
        // Eight digits fill the 32 bits; the bus takes at least one.
        if (!port || *port > 0xF || *location > 0x0FFFFFFFu) {
            return std::nullopt;
        }
        location = *location << 4 | *port;
        if (dot == std::string_view::npos) {
            break;
        }
        ports.remove_prefix(dot + 1);
    }
    return location;
}

bool SelectionNames(std::string_view selection, std::string_view serial, std::uint32_t location) {
    if (selection == serial) {
        return true;
    }
    const auto named = ParseLocation(selection);
    return named && *named == location;
}

}  // namespace tarnel
