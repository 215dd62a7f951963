// tarnel-cli: the command-line programmer, without Qt, for hosts without a desktop (a
// production jig). It makes the window's Program request (program/), with the same
// exit codes and event log, and ends when the request ends, whatever its outcome.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/RunProgress.h"
#include "cli/gang/GangProtocol.h"
#include "cli/gang/GangRun.h"
#include "platform/Arguments.h"
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
constexpr int kFailureStatus = 1;  // a failed request that reported nothing (never expected)

Verbosity VerbosityOf(const ToolOptions& options) {
    if (options.quiet) {
        return Verbosity::Quiet;
    }
    return options.verbose ? Verbosity::Verbose : Verbosity::Normal;
}

int Run(const std::vector<std::string>& arguments) {
    // A signal or console event stops the request at its next safe point (a gang: every
    // child); it then ends with the stop's exit status.
    const StopSignals stops(&RequestStop);
    const ToolOptions options = ParseCliArguments(arguments);
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

    if (options.logPath) {
        SetEventLogPath(*options.logPath);
    }
    // No box service: every report is a line "tarnel-cli: TEXT: DETAIL" on standard error,
    // as tarnel -cc -p writes it; the bootloader is looked for where tarnel looks.
    SetReportProgramName(kProgramName);
    if (IsGang(options)) {
        GangRequest gang;
        gang.all = options.all;
        gang.adapters = options.adapters;
        gang.image = options.operands.front();
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
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        if (child) {
            childReporter.FailedBeforeRequest("The driver could not be loaded", error);
            childReporter.End(BoardOutcome::Failure, kDriverStatus);
        }
        return kDriverStatus;
    }
    RunProgress progress(stderr, kProgramName, VerbosityOf(options), driver);
    ProgramObserver& observer = child ? static_cast<ProgramObserver&>(childReporter) : progress;
    ProgramRequest request;
    request.imagePath = options.operands.front();
    request.adapter = options.adapter.value_or("");
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
