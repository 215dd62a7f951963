#pragma once
// Gang programming: one image on many boards at once, one tarnel-cli child process per
// adapter, so that a crash or a hung transfer on one board cannot stop the others. The
// parent reads and checks the image once, starts the children, follows their progress
// lines (GangProtocol.h), shows the table (GangTable.h), writes the report and never
// opens an adapter itself.

#include <optional>
#include <string>
#include <vector>

#include "program/ImageLoad.h"

namespace tarnel::cli {

struct GangRequest {
    bool all = false;                   // every usable adapter that is listed
    std::vector<std::string> adapters;  // else these, each by serial or port
    std::string image;
    ImageLoadOptions imageOptions;            // how the parent reads and checks it
    std::vector<std::string> imageArguments;  // the same for each child: --lenient, --format...
    std::optional<std::string> report;        // the JSON report's path
    std::optional<std::string> logPath;       // --log: handed on to every child
    std::string childProgram;                 // the tarnel-cli that each child runs
    std::string version;
};

// Exit status of a gang.
inline constexpr int kGangAllProgrammed = 0;
inline constexpr int kGangSomeFailed = 1;
inline constexpr int kGangNothingStarted = 2;  // no usable adapter, or the image refused

// Runs the gang and returns its exit status: kGangAllProgrammed, kGangSomeFailed,
// kGangNothingStarted (nothing was started: each reason on standard error; a report
// path that cannot be written counts too), or 128 + the signal that stopped it (130 for
// Ctrl-C, 143 for SIGTERM, 129 for SIGHUP) once every child has stopped. The table goes
// to standard output. Returns only when every child has ended.
int RunGang(const GangRequest& request);

}  // namespace tarnel::cli
