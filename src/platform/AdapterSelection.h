#pragma once
// The choice of one adapter by TARNEL_ADAPTER, shared by the driver backends.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnel {

// The environment variable that chooses one adapter by serial number or location.
inline constexpr char kAdapterVariable[] = "TARNEL_ADAPTER";

// The adapter chosen for this process: the one ChooseAdapter names, else the value of
// TARNEL_ADAPTER; empty: any adapter will do.
std::string SelectedAdapter();

// Chooses the adapter for this process, by serial number or location, in place of
// TARNEL_ADAPTER; empty: any adapter; nothing: TARNEL_ADAPTER chooses again. Returns the
// choice it replaces, for the caller to give back.
std::optional<std::string> ChooseAdapter(std::optional<std::string> selection);

// Where an adapter sits, as the listing shows it: "1-4.2" for location 0x142 (the bus
// digit, then one hex digit per port), "0x1" for a location of one digit.
std::string LocationText(std::uint32_t location);

struct AdapterIdentity {
    std::string serial;  // "-" when it cannot be read
    std::string port;    // LocationText of its location
    bool inUse = false;  // open, by this process or another
};

// The adapter this process holds open, as the installed driver lists it; nothing when
// none is open or the driver cannot list its devices.
std::optional<AdapterIdentity> OpenedAdapter();

// Why no adapter could be opened, in one line for the detail of "Dravin not found!":
// the driver's own reason when it could not start or open the device, the adapter asked
// for and those that are connected (serial and port of each), or that the one asked for
// is in use by another program. Lists every connected adapter, whatever was chosen.
std::string AdapterFailureDetail();

// The location ID that `text` names: a number (decimal, or hex after "0x") or a port path
// as Linux shows it ("1-4.2": the bus, then one hex digit per port, 0x142); nothing when
// it is neither or a port number does not fit in one digit.
std::optional<std::uint32_t> ParseLocation(std::string_view text);

// Whether `selection` names the device with this serial number or location ID.
bool SelectionNames(std::string_view selection, std::string_view serial, std::uint32_t location);

}  // namespace tarnel
