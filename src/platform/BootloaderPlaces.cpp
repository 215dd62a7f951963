#include "platform/BootloaderPlaces.h"

#include <cstdlib>
#ifdef _WIN32
#include <deque>
#include <filesystem>
#endif

#include "platform/ExecutablePath.h"

namespace tarnel {
namespace {

// The value of `name`, or "" when it is unset or empty.
std::string Value(const EnvironmentLookup& lookup, const char* name) {
    const char* value = lookup(name);
    return value != nullptr ? std::string(value) : std::string();
}

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// `folder` with "tarnel" and the file name below it; nothing when `folder` is empty.
void AddBelow(std::vector<std::string>& places, const std::string& folder) {
    if (folder.empty()) {
        return;
    }
    std::string place = folder;
    if (place.back() != '/' && place.back() != kSeparator) {
        place += kSeparator;
    }
    places.push_back(place + "tarnel" + kSeparator + kBootloaderFileName);
}

}  // namespace

std::vector<std::string> BootloaderPlaces(const std::string& executablePath,
                                          const EnvironmentLookup& lookup) {
    if (std::string chosen = Value(lookup, kBootloaderVariable); !chosen.empty()) {
        return {std::move(chosen)};
    }
    std::vector<std::string> places;
    // First, so that an unpacked copy of the tool keeps its bootloader beside it.
    if (const std::string folder = DirectoryOf(executablePath); !folder.empty()) {
        places.push_back(folder + kBootloaderFileName);
    }
#ifdef _WIN32
    AddBelow(places, Value(lookup, "APPDATA"));
    AddBelow(places, Value(lookup, "ProgramData"));
#else
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory rules say.
    std::string config = Value(lookup, "XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') {
        const std::string home = Value(lookup, "HOME");
        config = home.empty() ? std::string() : home + "/.config";
    }
    AddBelow(places, config);
    AddBelow(places, "/etc");
#endif
    return places;
}

std::vector<std::string> BootloaderPlaces() {
#ifdef _WIN32
    // getenv gives the ANSI code page; the paths below are UTF-8, so read the variables wide.
    std::deque<std::string> values;  // keeps each value alive while the list is built
    return BootloaderPlaces(ExecutablePath(), [&values](const char* name) -> const char* {
        const std::string narrow(name);
        const wchar_t* value = ::_wgetenv(std::wstring(narrow.begin(), narrow.end()).c_str());
        if (value == nullptr) {
            return nullptr;
        }
        const std::u8string utf8 = std::filesystem::path(value).u8string();
        return values.emplace_back(utf8.begin(), utf8.end()).c_str();
    });
#else
    return BootloaderPlaces(ExecutablePath(), [](const char* name) { return std::getenv(name); });
#endif
}

std::vector<std::string> BootloaderPlaceNames() {
#ifdef _WIN32
    return {"%TARNEL_BOOTLOADER% (when set, only that file)", "flash.ram beside tarnel.exe",
            "%APPDATA%\\tarnel\\flash.ram", "%ProgramData%\\tarnel\\flash.ram"};
#else
    return {"$TARNEL_BOOTLOADER (when set, only that file)", "flash.ram beside the executable",
            "$XDG_CONFIG_HOME/tarnel/flash.ram (default ~/.config/tarnel/flash.ram)",
            "/etc/tarnel/flash.ram"};
#endif
}

std::string BootloaderPlacesHelp() {
    std::string text =
        "The bootloader (flash.ram: an image file of text @ records, at most 2048 words)\n"
        "is read from the first of these that exists:\n";
    for (const std::string& place : BootloaderPlaceNames()) {
        text += "  " + place + "\n";
    }
    return text;
}

}  // namespace tarnel
