#pragma once
// Where the tool looks for the bootloader image, in order of preference. The first place
// whose file exists is used; the list itself differs only by operating system.

#include <functional>
#include <string>
#include <vector>

namespace tarnel {

inline constexpr char kBootloaderFileName[] = "flash.ram";
// Names the one bootloader file to use; no other place is tried while it is set.
inline constexpr char kBootloaderVariable[] = "TARNEL_BOOTLOADER";

// Reads an environment variable: its value, or null when it is not set.
using EnvironmentLookup = std::function<const char*(const char* name)>;

// The places for an executable at `executablePath` (empty: unknown) in the environment that
// `lookup` reads. When TARNEL_BOOTLOADER is set and not empty, only its file. Otherwise:
//   Linux:   flash.ram beside the executable, $XDG_CONFIG_HOME/tarnel/flash.ram (an
//            absolute XDG_CONFIG_HOME only; else $HOME/.config), /etc/tarnel/flash.ram;
//   Windows: flash.ram beside the executable, %APPDATA%\tarnel\flash.ram,
//            %ProgramData%\tarnel\flash.ram.
// A place whose variable is not set is left out.
std::vector<std::string> BootloaderPlaces(const std::string& executablePath,
                                          const EnvironmentLookup& lookup);

// The places of this process: its own executable and environment.
std::vector<std::string> BootloaderPlaces();

// The same list in words, for a usage text: one line per place, variables unexpanded.
std::vector<std::string> BootloaderPlaceNames();

// The paragraph of a usage text that says where the bootloader is read from: a line that
// introduces the list, then BootloaderPlaceNames indented, each with its line end.
std::string BootloaderPlacesHelp();

}  // namespace tarnel
