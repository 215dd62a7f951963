// tarnel-cli: the command-line programmer, without Qt, for hosts without a desktop (a
// production jig). It makes the window's Program request (program/), with the same
// exit codes and event log, and ends when the request ends, whatever its outcome.

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/ImageCheck.h"
#include "cli/RunProgress.h"
#include "cli/gang/GangProtocol.h"
#include "cli/gang/GangRun.h"
#include "platform/Arguments.h"
#include "platform/ConsoleText.h"
#include "platform/DriverBackend.h"
#include "platform/DriverChoice.h"
#include "platform/ExecutablePath.h"
#include "platform/StopSignals.h"
#include "program/ProgramRequest.h"
#include "program/StopRequest.h"
#include "report/EventLog.h"
#include "report/Report.h"

namespace tarnel::cli {
namespace {

constexpr char kProgramName[] = "tarnel-cli";
constexpr int kUsageStatus = 64;   // a wrong command line
constexpr int kDriverStatus = 2;   // the exit code of an adapter that cannot be reached
constexpr int kLogStatus = 2;      // the event log asked for cannot be written
constexpr int kFailureStatus = 1;  // a failed request that reported nothing (never expected)

Verbosity VerbosityOf(const ToolOptions& options) {
    if (options.quiet) {
        return Verbosity::Quiet;
    }
    return options.verbose ? Verbosity::Verbose : Verbosity::Normal;
}

// The options that say how to read the image, as a gang hands them to each child.
std::vector<std::string> ImageArguments(const ToolOptions& options) {
    std::vector<std::string> arguments;
    if (options.lenient) {
        arguments.emplace_back("--lenient");
    }
    for (const auto& [name, value] :
         {std::pair{"--format", options.format}, std::pair{"--base", options.base},
          std::pair{"--byte-order", options.byteOrder}}) {
        if (value) {
            arguments.insert(arguments.end(), {name, *value});
        }
    }
    return arguments;
}

int Run(const std::vector<std::string>& arguments) {
    // A signal or console event stops the request at its next safe point (a gang: every
    // child); it then ends with the stop's exit status.
    const StopSignals stops(&RequestStop);
    CliImageOptions image;
    const ToolOptions options = ParseCliArguments(arguments, image);
    switch (options.action) {
        case ToolAction::Help:
            std::fputs(CliUsage().c_str(), stdout);
            return 0;
        case ToolAction::Version:
            std::printf("%s %s\n", kProgramName, TARNEL_FILE_VERSION);
            return 0;
        case ToolAction::UsageError:
            std::fprintf(stderr, "%s: %s\n%s", kProgramName, options.error.c_str(),
                         CliSynopsis().c_str());
            return kUsageStatus;
        case ToolAction::Run:
            break;
    }

    SetReportProgramName(kProgramName);
    ImageLoadOptions loadOptions = ImageLoadOptionsFromEnvironment();
    loadOptions.lenient = loadOptions.lenient || options.lenient;
    loadOptions.format = image.format;
    loadOptions.formatOptions = image.read;
    if (options.check) {
        return CheckImage(options.operands.front(), loadOptions, stdout);
    }
    if (options.logPath) {
        SetEventLogPath(*options.logPath);
    }
    // A run that asked for an event log and cannot write one ends before any adapter is
    // opened: a production record must not be silently missing.
    if (const std::string why = CheckEventLog(); !why.empty()) {
        WriteStandardErrorLine("Cannot open the event log", why);
        return kLogStatus;
    }
    if (IsGang(options)) {
        GangRequest gang;
        gang.all = options.all;
        gang.adapters = options.adapters;
        gang.image = options.operands.front();
        gang.imageOptions = loadOptions;
        gang.imageArguments = ImageArguments(options);
        gang.report = options.report;
        gang.logPath = options.logPath;
        gang.childProgram = ExecutablePath();
        gang.version = TARNEL_FILE_VERSION;
        return RunGang(gang);
    }
    // A gang's child tells its parent in protocol lines; a person gets the progress line.
    const bool child = IsGangChild();
    GangChildReporter childReporter(stdout);
    std::string driver;
    if (const std::string error = InstallBackendFromEnvironment(&driver); !error.empty()) {
        // The line names the library's path, which may hold any letter.
        WriteText(stderr, std::string(kProgramName) + ": " + error + "\n");
        if (child) {
            childReporter.FailedBeforeRequest("The driver could not be loaded", error);
            childReporter.End(BoardOutcome::Failure, kDriverStatus);
        }
        return kDriverStatus;
    }
    // No box service: every report is a line "tarnel-cli: TEXT: DETAIL" on standard error,
    // as tarnel -cc -p writes it; the bootloader is looked for where tarnel looks.
    RunProgress progress(stderr, kProgramName, VerbosityOf(options), driver);
    ProgramObserver& observer = child ? static_cast<ProgramObserver&>(childReporter) : progress;
    ProgramRequest request;
    request.imagePath = options.operands.front();
    request.adapter = options.adapter.value_or("");
    request.lenient = loadOptions.lenient;
    request.imageFormat = loadOptions.format;
    request.imageReadOptions = loadOptions.formatOptions;
    const ProgramOutcome outcome = RunProgramRequest(request, observer);
    // The request has detached; this unloads the driver library.
    InstallDriverBackend(nullptr);
    const int status = ExitCode();
    const int exitStatus = !outcome.succeeded && status == 0 ? kFailureStatus : status;
    if (child) {
        childReporter.End(outcome.succeeded     ? BoardOutcome::Success
                          : outcome.interrupted ? BoardOutcome::Interrupted
                                                : BoardOutcome::Failure,
                          exitStatus);
    }
    return exitStatus;
}

}  // namespace
}  // namespace tarnel::cli

int main(int argc, char** argv) {
    return tarnel::cli::Run(tarnel::ProgramArguments(argc, argv));
}
