#include "cli/gang/GangAdapters.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/AdapterSelection.h"
#include "platform/DriverAdapterList.h"
#include "platform/DriverBackend.h"
#include "platform/DriverChoice.h"
#ifdef TARNEL_HAVE_USB_BACKEND
#include "platform/AdapterInventory.h"
#endif

namespace tarnel::cli {
namespace {

struct Listed {
    BoardState board;
    std::uint32_t location = 0;
    bool usable = false;
};

std::optional<std::vector<Listed>> ListThroughDriver(std::string& error) {
    error = InstallBackendFromEnvironment();
    if (!error.empty()) {
        return std::nullopt;
    }
    const auto adapters = ListDriverAdapters();
    // The parent holds no driver while its children work.
    InstallDriverBackend(nullptr);
    if (!adapters) {
        error = "the D2XX library cannot list its devices";
        return std::nullopt;
    }
    std::vector<Listed> listed;
    for (const DriverAdapter& adapter : *adapters) {
        char location[16];
        std::snprintf(location, sizeof location, "0x%X", static_cast<unsigned>(adapter.location));
        Listed entry;
        entry.board.port = location;
        entry.board.serial = adapter.serial.empty() ? "-" : adapter.serial;
        entry.board.choice = adapter.serial.empty() ? location : adapter.serial;
        entry.location = adapter.location;
        entry.usable = adapter.usable;
        listed.push_back(std::move(entry));
    }
    return listed;
}

std::optional<std::vector<Listed>> ListAll(std::string& error) {
#ifdef TARNEL_HAVE_USB_BACKEND
    const char* driver = std::getenv(kDriverVariable);
    if (driver == nullptr || std::strcmp(driver, "d2xx") != 0) {
        const auto adapters = usb::ListAdapters();
        if (!adapters) {
            error = "cannot list USB devices";
            return std::nullopt;
        }
        std::vector<Listed> listed;
        for (const usb::AdapterInfo& adapter : *adapters) {
            Listed entry;
            // By port: two adapters may share a serial number, never a port.
            entry.board.choice = adapter.portPath;
            entry.board.port = adapter.portPath;
            entry.board.serial = adapter.serial.empty() ? "-" : adapter.serial;
            entry.location = ParseLocation(adapter.portPath).value_or(0);
            entry.usable = adapter.access == usb::AdapterAccess::Usable;
            listed.push_back(std::move(entry));
        }
        return listed;
    }
#endif
    return ListThroughDriver(error);
}

}  // namespace

std::optional<std::vector<BoardState>> UsableBoards(std::string& error) {
    const auto listed = ListAll(error);
    if (!listed) {
        return std::nullopt;
    }
    std::vector<BoardState> boards;
    for (const Listed& entry : *listed) {
        if (entry.usable) {
            boards.push_back(entry.board);
        }
    }
    return boards;
}

std::vector<BoardState> NamedBoards(const std::vector<std::string>& choices) {
    std::string error;
    const auto listed = ListAll(error).value_or(std::vector<Listed>{});
    std::vector<BoardState> boards;
    for (const std::string& choice : choices) {
        BoardState board;
        const bool port = ParseLocation(choice).has_value();
        board.port = port ? choice : "-";
        board.serial = port ? "-" : choice;
        for (const Listed& entry : listed) {
            if (SelectionNames(choice, entry.board.serial, entry.location)) {
                board = entry.board;
                break;
            }
        }
        board.choice = choice;
        boards.push_back(std::move(board));
    }
    return boards;
}

}  // namespace tarnel::cli
