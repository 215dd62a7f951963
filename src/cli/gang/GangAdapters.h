#pragma once
// The adapters of a gang, from the same lists that tarnel-adapters prints: on Linux the
// USB devices (by port), with TARNEL_DRIVER=d2xx or on Windows the D2XX library's list (by
// serial number, else location). Only listing: no adapter is opened here.

#include <optional>
#include <string>
#include <vector>

#include "cli/gang/GangBoard.h"

namespace tarnel::cli {

// A board for every usable adapter, in the listing's order, each with its port, serial
// and the choice that names it for a child. Nothing, with `error` set, when the adapters
// cannot be listed (an empty list is no error).
std::optional<std::vector<BoardState>> UsableBoards(std::string& error);

// A board for each adapter that `choices` name (a serial or port, as --adapter takes it),
// in their order: port and serial from the listing when an adapter there matches, else
// "-" for what `choice` itself does not tell.
std::vector<BoardState> NamedBoards(const std::vector<std::string>& choices);

}  // namespace tarnel::cli
