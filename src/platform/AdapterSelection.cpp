#include "platform/AdapterSelection.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/DriverApi.h"
#include "platform/DriverBackend.h"

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

// The choice ChooseAdapter made; nothing: TARNEL_ADAPTER's.
std::optional<std::string>& ChosenAdapter() {
    static std::optional<std::string> chosen;
    return chosen;
}

constexpr std::uint32_t kAdapterId = 0x0403F1A0u;

// Every adapter the installed driver lists under the current choice, with the handle of
// the one this process holds (0 for the others); nothing when it cannot list.
struct Listed {
    AdapterIdentity identity;
    std::uint32_t location = 0;
    FT_HANDLE handle = 0;
};
std::optional<std::vector<Listed>> ListedAdapters() {
    std::uint32_t count = 0;
    if (FT_CreateDeviceInfoList(&count) != FT_OK) {
        return std::nullopt;
    }
    std::vector<Listed> adapters;
    for (std::uint32_t index = 0; index < count; ++index) {
        std::uint32_t flags = 0;
        std::uint32_t id = 0;
        std::uint32_t location = 0;
        char serial[kSerialSize] = {};
        FT_HANDLE handle = 0;
        if (FT_GetDeviceInfoDetail(index, &flags, nullptr, &id, &location, serial, nullptr,
                                   &handle) != FT_OK ||
            id != kAdapterId) {
            continue;
        }
        serial[kSerialSize - 1] = '\0';
        adapters.push_back({{serial[0] != '\0' ? serial : "-", LocationText(location),
                             (flags & FT_FLAGS_OPENED) != 0},
                            location,
                            handle});
    }
    return adapters;
}

}  // namespace

std::string SelectedAdapter() {
    if (const std::optional<std::string>& chosen = ChosenAdapter()) {
        return *chosen;
    }
    const char* value = std::getenv(kAdapterVariable);
    return value != nullptr ? value : "";
}

std::optional<std::string> ChooseAdapter(std::optional<std::string> selection) {
    return std::exchange(ChosenAdapter(), std::move(selection));
}

std::string LocationText(std::uint32_t location) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%X", static_cast<unsigned>(location));
    const std::string hex = digits;
    if (hex.size() < 2) {
        return "0x" + hex;
    }
    std::string text = hex.substr(0, 1) + "-";
    for (std::size_t i = 1; i < hex.size(); ++i) {
        text += (i > 1 ? "." : "") + std::to_string(std::stoi(hex.substr(i, 1), nullptr, 16));
    }
    return text;
}

std::optional<AdapterIdentity> OpenedAdapter() {
    const auto adapters = ListedAdapters();
    if (adapters) {
        for (const Listed& adapter : *adapters) {
            if (adapter.handle != 0) {
                return adapter.identity;
            }
        }
    }
    return std::nullopt;
}

std::string AdapterFailureDetail() {
    const std::string asked = SelectedAdapter();
    DriverBackend* backend = InstalledDriverBackend();
    const std::string reason = backend != nullptr ? backend->FailureReason() : "";
    // Every connected adapter, whatever was chosen.
    const std::optional<std::string> saved = ChooseAdapter(std::string());
    const auto adapters = ListedAdapters();
    ChooseAdapter(saved);

    const auto join = [&](const std::string& more) {
        return reason.empty() ? more : reason + "; " + more;
    };
    if (!adapters) {
        return join("the driver cannot list its devices");
    }
    if (adapters->empty()) {
        return join("no adapter connected (USB ID 0403:f1a0)");
    }
    std::string connected;
    const Listed* named = nullptr;
    for (const Listed& adapter : *adapters) {
        connected += (connected.empty() ? "" : ", ") + adapter.identity.serial + " at " +
                     adapter.identity.port;
        if (!asked.empty() && named == nullptr &&
            SelectionNames(asked, adapter.identity.serial, adapter.location)) {
            named = &adapter;
        }
    }
    if (!asked.empty() && named == nullptr) {
        return join("no adapter " + asked + " among those connected: " + connected);
    }
    if (named != nullptr && named->identity.inUse && reason.empty()) {
        return named->identity.serial + " at " + named->identity.port +
               " is in use by another program";
    }
    return reason.empty() ? "no adapter answered; connected: " + connected : reason;
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
