#include "platform/DriverChoice.h"

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/D2xxBackend.h"
#include "platform/DriverBackend.h"
#ifdef TARNEL_HAVE_USB_BACKEND
#include "platform/UsbBackend.h"
#endif

namespace tarnel {
namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// A path from the environment, read wide on Windows so that any file name survives.
std::filesystem::path PathVariable(const char* name) {
#ifdef _WIN32
    const std::string narrow(name);
    const std::wstring wide(narrow.begin(), narrow.end());
    const wchar_t* value = _wgetenv(wide.c_str());
    return value != nullptr ? std::filesystem::path(value) : std::filesystem::path();
#else
    return Variable(name);
#endif
}

std::string InstallD2xx(std::string* inUse) {
    std::filesystem::path library = PathVariable(kD2xxLibraryVariable);
    if (library.empty()) {
        library = DefaultD2xxLibrary();
    }
    if (inUse != nullptr) {
        const std::u8string name = library.u8string();
        *inUse = "D2XX library " + std::string(name.begin(), name.end());
    }
    std::string error;
    std::unique_ptr<DriverBackend> backend = LoadD2xxBackend(library, error);
    InstallDriverBackend(std::move(backend));
    return error;
}

}  // namespace

std::string InstallBackendFromEnvironment(std::string* inUse) {
    const std::string driver = Variable(kDriverVariable);
#ifdef TARNEL_HAVE_USB_BACKEND
    if (driver.empty() || driver == "libftdi") {
        InstallDriverBackend(MakeUsbBackend());
        if (inUse != nullptr) {
            *inUse = "libftdi1";
        }
        return {};
    }
    constexpr char kChoices[] = "d2xx or libftdi";
#else
    constexpr char kChoices[] = "d2xx";
#endif
    if (driver.empty() || driver == "d2xx") {
        return InstallD2xx(inUse);
    }
    InstallDriverBackend(nullptr);
    return std::string(kDriverVariable) + "=" + driver + " names no driver: use " + kChoices;
}

}  // namespace tarnel
