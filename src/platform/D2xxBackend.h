#pragma once
// The driver backend over the D2XX driver library itself, loaded at run time: ftd2xx.dll
// on Windows, libftd2xx.so on Linux. Every call goes to the library's function of the same
// name, with its semantics (a read that times out returns FT_OK with fewer bytes; the
// device ID is vendor << 16 | product).
//
// Devices: the library's list, adapters (0x0403F1A0) first and then the others, each in
// the library's order, so that a USB serial converter listed first does not hide the
// adapter. With TARNEL_ADAPTER set, only the adapter it names by serial number or
// location ID (see AdapterSelection.h). ListDevices and CreateDeviceInfoList take that
// list afresh; Open and GetDeviceInfoDetail use the indices of the last one taken.

#include <filesystem>
#include <memory>
#include <string>

#include "platform/DriverBackend.h"

namespace tarnel {

// The library's own name, searched for as the system searches for libraries.
std::filesystem::path DefaultD2xxLibrary();

// Loads `library` and finds its thirteen functions by name. On failure returns null and
// sets `error` to one line naming the library and the system's reason (or the function
// that is missing).
std::unique_ptr<DriverBackend> LoadD2xxBackend(const std::filesystem::path& library,
                                               std::string& error);

}  // namespace tarnel
