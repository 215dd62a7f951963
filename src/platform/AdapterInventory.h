#pragma once
// The programming adapters connected to this machine, as the adapter listing command
// shows them: where each sits, its serial number, and whether this user may open it.

#include <optional>
#include <string>
#include <vector>

namespace tarnel::usb {

enum class AdapterAccess {
    Usable,        // this user can open the device
    NoPermission,  // the device node refuses this user
    Unavailable,   // opening failed for another reason (gone, or held exclusively)
};

struct AdapterInfo {
    std::string portPath;  // "1-4.2"
    std::string serial;    // empty when it cannot be read
    int bus = 0;
    int address = 0;  // the device number on its bus
    AdapterAccess access = AdapterAccess::Unavailable;
};

// Every connected adapter, in the order the tool lists them, whatever TARNEL_ADAPTER says;
// nothing when USB devices cannot be enumerated at all.
std::optional<std::vector<AdapterInfo>> ListAdapters();

}  // namespace tarnel::usb
