#include "platform/BootloaderPlaces.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/ExecutablePath.h"

namespace tarnel {
namespace {

namespace fs = std::filesystem;

fs::path FromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string ToUtf8(const fs::path& path) {
    const std::u8string utf8 = path.u8string();
    return {utf8.begin(), utf8.end()};
}

std::string Variable(const char* name) {
#ifdef _WIN32
    const std::string narrow(name);
    const std::wstring wide(narrow.begin(), narrow.end());
    const wchar_t* value = _wgetenv(wide.c_str());
    return value != nullptr ? ToUtf8(fs::path(value)) : std::string();
#else
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
#endif
}

}  // namespace

std::vector<std::string> WindowsBootloaderCandidates(const WindowsBootloaderEnvironment& places) {
    if (!places.bootloaderVariable.empty()) {
        return {places.bootloaderVariable};
    }
    std::vector<std::string> candidates;
    if (!places.executableFolder.empty()) {
        candidates.push_back(ToUtf8(FromUtf8(places.executableFolder) / "flash.ram"));
    }
    for (const std::string* folder : {&places.appData, &places.programData}) {
        if (!folder->empty()) {
            candidates.push_back(ToUtf8(FromUtf8(*folder) / "tarnel" / "flash.ram"));
        }
    }
    return candidates;
}

WindowsBootloaderEnvironment WindowsBootloaderEnvironmentOfProcess() {
    return {Variable("TARNEL_BOOTLOADER"), DirectoryOf(ExecutablePath()), Variable("APPDATA"),
            Variable("ProgramData")};
}

std::string ChooseBootloader(const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        std::error_code error;
        try {
            if (fs::is_regular_file(FromUtf8(candidate), error)) {
                return candidate;
            }
        } catch (const std::exception&) {  // not valid UTF-8: not a file
        }
    }
    return candidates.empty() ? std::string("flash.ram") : candidates.front();
}

}  // namespace tarnel
