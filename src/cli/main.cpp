// tarnel-cli: the command-line programmer, without Qt, for hosts without a desktop (a
// production jig). It makes the window's Program request (program/), with the same
// exit codes and event log, and ends when the request ends, whatever its outcome.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/ImageCheck.h"
#include "cli/RunProgress.h"
#include "platform/Arguments.h"
#include "platform/ConsoleText.h"
#include "platform/DriverBackend.h"
#include "platform/DriverChoice.h"
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

int Run(const std::vector<std::string>& arguments) {
    // A signal or console event stops the request at its next safe point; it then ends
    // with the stop's exit status.
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
    std::string driver;
    if (const std::string error = InstallBackendFromEnvironment(&driver); !error.empty()) {
        // The line names the library's path, which may hold any letter.
        WriteText(stderr, std::string(kProgramName) + ": " + error + "\n");
        return kDriverStatus;
    }
    // No box service: every report is a line "tarnel-cli: TEXT: DETAIL" on standard error,
    // as tarnel -cc -p writes it; the bootloader is looked for where tarnel looks.
    RunProgress progress(stderr, kProgramName, VerbosityOf(options), driver);
    ProgramRequest request;
    request.imagePath = options.operands.front();
    request.adapter = options.adapter.value_or("");
    request.lenient = loadOptions.lenient;
    request.imageFormat = loadOptions.format;
    request.imageReadOptions = loadOptions.formatOptions;
    const ProgramOutcome outcome = RunProgramRequest(request, progress);
    // The request has detached; this unloads the driver library.
    InstallDriverBackend(nullptr);
    const int status = ExitCode();
    return !outcome.succeeded && status == 0 ? kFailureStatus : status;
}

}  // namespace
}  // namespace tarnel::cli

int main(int argc, char** argv) {
    return tarnel::cli::Run(tarnel::ProgramArguments(argc, argv));
}
