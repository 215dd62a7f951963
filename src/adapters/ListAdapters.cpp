// tarnel-adapters: one line per connected programming adapter, in the order the tool
// lists them:
//   PORT SERIAL BUS/DEVICE ACCESS
// ACCESS is "usable", "no-permission" or "unavailable"; a line that is not usable goes on
// with what to check. A serial number that cannot be read shows as "-". Exit status 0
// when at least one adapter is usable, otherwise 2.

#include <cstdio>
#include <cstring>

#include "platform/AdapterInventory.h"

namespace {

constexpr int kExitUsable = 0;
constexpr int kExitNoneUsable = 2;

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
    std::puts(
        "Usage: tarnel-adapters\n"
        "Lists the connected programming adapters (USB ID 0403:f1a0), one per line:\n"
        "  PORT SERIAL BUS/DEVICE ACCESS\n"
        "PORT or SERIAL is what TARNEL_ADAPTER takes to choose one adapter.\n"
        "Exit status: 0 when at least one adapter is usable, otherwise 2.");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        PrintUsage();
        return std::strcmp(argv[1], "--help") == 0 ? kExitUsable : kExitNoneUsable;
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
}
