#pragma once
// Where the tool looks for the adapter maker's RAM bootloader (flash.ram) on Windows.

#include <string>
#include <vector>

namespace tarnel {

// The places that decide the search, as the environment gives them (UTF-8; empty when
// unset).
struct WindowsBootloaderEnvironment {
    std::string bootloaderVariable;  // TARNEL_BOOTLOADER
    std::string executableFolder;    // the running executable's folder
    std::string appData;             // %APPDATA%
    std::string programData;         // %ProgramData%
};

// The candidate files in the order they are tried: TARNEL_BOOTLOADER alone when set;
// otherwise beside the executable, then %APPDATA%\tarnel\flash.ram, then
// %ProgramData%\tarnel\flash.ram (a folder that is not set gives no candidate).
std::vector<std::string> WindowsBootloaderCandidates(const WindowsBootloaderEnvironment& places);

// This process's environment, read wide and returned as UTF-8.
WindowsBootloaderEnvironment WindowsBootloaderEnvironmentOfProcess();

// The first candidate that names an existing file; when none does, the first candidate, so
// that the failure to read it names the place a user expects first.
std::string ChooseBootloader(const std::vector<std::string>& candidates);

}  // namespace tarnel
