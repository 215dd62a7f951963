#pragma once
// The choice of one adapter by TARNEL_ADAPTER, shared by the driver backends.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnel {

// The environment variable that chooses one adapter by serial number or location.
inline constexpr char kAdapterVariable[] = "TARNEL_ADAPTER";

// The value of TARNEL_ADAPTER; empty when it is unset: any adapter will do.
std::string SelectedAdapter();

// The location ID that `text` names: a number (decimal, or hex after "0x") or a port path
// as Linux shows it ("1-4.2": the bus, then one hex digit per port, 0x142); nothing when
// it is neither or a port number does not fit in one digit.
std::optional<std::uint32_t> ParseLocation(std::string_view text);

// Whether `selection` names the device with this serial number or location ID.
bool SelectionNames(std::string_view selection, std::string_view serial, std::uint32_t location);

}  // namespace tarnel
