// tarnel-adapters: one line per connected programming adapter, in the order the tool
// lists them:
//   PORT SERIAL BUS/DEVICE ACCESS
// ACCESS is "usable", "no-permission" or "unavailable"; a line that is not usable goes on
// with what to check. A serial number that cannot be read shows as "-". Exit status 0
// when at least one adapter is usable, otherwise 2; 64 for a wrong command line.
// On Windows, and on Linux with TARNEL_DRIVER=d2xx, the list comes from the D2XX library:
//   LOCATION SERIAL - ACCESS "DESCRIPTION"
// LOCATION is the driver's location ID (0x142 for port 1-4.2); ACCESS is "usable", or
// "unavailable (open)" when the driver reports the adapter open in another program.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifndef _WIN32
#include "platform/AdapterInventory.h"
#endif
#include "platform/Arguments.h"
#include "platform/ConsoleText.h"
#include "platform/DriverAdapterList.h"
#include "platform/DriverApi.h"
#include "platform/DriverBackend.h"
#include "platform/DriverChoice.h"
#include "platform/ToolOptions.h"

namespace {

constexpr int kExitUsable = 0;
constexpr int kExitNoneUsable = 2;
constexpr int kExitUsage = 64;
constexpr char kSynopsis[] =
    "Usage: tarnel-adapters\n"
    "       tarnel-adapters -h | --help | -V | --version\n";

#ifdef _WIN32
void PrintUsage() {
    std::fputs(kSynopsis, stdout);
    std::puts(
        "Lists the connected programming adapters (USB ID 0403:f1a0) as the D2XX driver\n"
        "(ftd2xx.dll) sees them, one per line:\n"
        "  LOCATION SERIAL - ACCESS \"DESCRIPTION\"\n"
        "LOCATION or SERIAL is what TARNEL_ADAPTER and tarnel-cli --adapter take to choose\n"
        "one adapter; ACCESS is usable, or unavailable (open) when another program holds it.\n"
        "Exit status: 0 when at least one adapter is usable, otherwise 2; 64 for a wrong\n"
        "command line.");
}
#else
const char* AccessWord(tarnel::usb::AdapterAccess access) {
    switch (access) {
        case tarnel::usb::AdapterAccess::Usable:
            return "usable";
        case tarnel::usb::AdapterAccess::NoPermission:
            return "no-permission";
        case tarnel::usb::AdapterAccess::Unavailable:
            break;
    }
    return "unavailable";
}

void PrintUsage() {
    std::fputs(kSynopsis, stdout);
    std::fputs(
        "Lists the connected programming adapters (USB ID 0403:f1a0), one per line:\n"
        "  PORT SERIAL BUS/DEVICE ACCESS\n"
        "PORT or SERIAL is what tarnel-cli --adapter and TARNEL_ADAPTER take to choose one\n"
        "adapter. With TARNEL_DRIVER=d2xx, the D2XX library's list:\n"
        "  LOCATION SERIAL - ACCESS \"DESCRIPTION\"\n"
        "\n"
        "Options:\n",
        stdout);
    std::fputs(tarnel::ToolOptionsHelp(0).c_str(), stdout);
    std::fputs(
        "\n"
        "Exit status:\n"
        "  0   at least one adapter is usable\n"
        "  2   no adapter is usable\n"
        "  64  wrong command line\n",
        stdout);
}
#endif

// The adapters as the D2XX library lists them.
int ListThroughD2xx() {
    if (const std::string error = tarnel::InstallBackendFromEnvironment(); !error.empty()) {
        // The error names the library's path, which may hold any letter.
        tarnel::WriteText(stderr, "tarnel-adapters: " + error + "\n");
        return kExitNoneUsable;
    }
    const auto adapters = tarnel::ListDriverAdapters();
    if (!adapters) {
        std::fputs("tarnel-adapters: the D2XX library cannot list its devices\n", stderr);
        tarnel::InstallDriverBackend(nullptr);
        return kExitNoneUsable;
    }
    const bool anyAdapter = !adapters->empty();
    bool anyUsable = false;
    for (const tarnel::DriverAdapter& adapter : *adapters) {
        anyUsable = anyUsable || adapter.usable;
        std::printf("0x%X %s - %s \"%s\"\n", static_cast<unsigned>(adapter.location),
                    adapter.serial.empty() ? "-" : adapter.serial.c_str(),
                    adapter.usable ? "usable" : "unavailable (open)", adapter.description.c_str());
    }
    tarnel::InstallDriverBackend(nullptr);
    if (!anyAdapter) {
        std::fputs("tarnel-adapters: the D2XX library lists no adapter (USB ID 0403:f1a0)\n",
                   stderr);
    }
    return anyUsable ? kExitUsable : kExitNoneUsable;
}

}  // namespace

int main(int argc, char** argv) {
    const tarnel::ToolOptions options =
        tarnel::ParseToolOptions(tarnel::ProgramArguments(argc, argv), 0);
    switch (options.action) {
        case tarnel::ToolAction::Help:
            PrintUsage();
            return kExitUsable;
        case tarnel::ToolAction::Version:
            std::printf("tarnel-adapters %s\n", TARNEL_FILE_VERSION);
            return kExitUsable;
        case tarnel::ToolAction::UsageError:
            std::fprintf(stderr, "tarnel-adapters: %s\n%s", options.error.c_str(), kSynopsis);
            return kExitUsage;
        case tarnel::ToolAction::Run:
            break;
    }
    if (!options.operands.empty()) {
        std::fprintf(stderr, "tarnel-adapters: takes no operand (given: %s)\n%s",
                     options.operands.front().c_str(), kSynopsis);
        return kExitUsage;
    }
#ifdef _WIN32
    return ListThroughD2xx();
#else
    if (const char* driver = std::getenv(tarnel::kDriverVariable);
        driver != nullptr && std::strcmp(driver, "d2xx") == 0) {
        return ListThroughD2xx();
    }
    const auto adapters = tarnel::usb::ListAdapters();
    if (!adapters) {
        std::fputs("tarnel-adapters: cannot list USB devices\n", stderr);
        return kExitNoneUsable;
    }
    if (adapters->empty()) {
        std::fputs(
            "tarnel-adapters: no adapter connected (USB ID 0403:f1a0); check the cable "
            "and that lsusb lists the adapter\n",
            stderr);
        return kExitNoneUsable;
    }
    bool anyUsable = false;
    for (const auto& adapter : *adapters) {
        std::printf("%s %s %03d/%03d %s", adapter.portPath.c_str(),
                    adapter.serial.empty() ? "-" : adapter.serial.c_str(), adapter.bus,
                    adapter.address, AccessWord(adapter.access));
        switch (adapter.access) {
            case tarnel::usb::AdapterAccess::Usable:
                anyUsable = true;
                break;
            case tarnel::usb::AdapterAccess::NoPermission:
                std::printf(
                    " (/dev/bus/usb/%03d/%03d refuses this user: install the udev rule "
                    "70-tarnel.rules, then log in at the machine's seat or join the "
                    "plugdev group and log in again)",
                    adapter.bus, adapter.address);
                break;
            case tarnel::usb::AdapterAccess::Unavailable:
                std::printf(" (it could not be opened: unplugged, or held by another program)");
                break;
        }
        std::putchar('\n');
    }
    return anyUsable ? kExitUsable : kExitNoneUsable;
#endif
}
