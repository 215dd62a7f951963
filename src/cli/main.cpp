// tarnel-cli: the command-line programmer, without Qt, for hosts without a desktop (a
// production jig). It makes the window's Program request (program/), with the same
// exit codes and event log, and ends when the request ends, whatever its outcome.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

#include "cli/CliOptions.h"
#include "cli/TerminalProgress.h"
#include "cli/gang/GangProtocol.h"
#include "cli/gang/GangRun.h"
#include "platform/AdapterSelection.h"
#include "platform/DriverBackend.h"
#include "platform/DriverChoice.h"
#include "platform/ExecutablePath.h"
#include "program/ProgramRequest.h"
#include "report/Report.h"

namespace tarnel::cli {
namespace {

constexpr char kProgramName[] = "tarnel-cli";
constexpr int kUsageStatus = 64;   // a wrong command line
constexpr int kDriverStatus = 2;   // the exit code of an adapter that cannot be reached
constexpr int kFailureStatus = 1;  // a failed request that reported nothing (never expected)

void ChooseAdapter(const std::string& adapter) {
#ifdef _WIN32
    ::_putenv_s(kAdapterVariable, adapter.c_str());
#else
    ::setenv(kAdapterVariable, adapter.c_str(), 1);
#endif
}

int Run(const std::vector<std::string>& arguments) {
    const CliOptions options = ParseCliArguments(arguments);
    switch (options.action) {
        case CliAction::Help:
            std::fputs(CliUsage(), stdout);
            return 0;
        case CliAction::Version:
            std::printf("%s %s\n", kProgramName, TARNEL_FILE_VERSION);
            return 0;
        case CliAction::UsageError:
            std::fprintf(stderr, "%s: %s\nUsage: %s [--adapter SERIAL|PORT] IMAGE.rom\n",
                         kProgramName, options.error.c_str(), kProgramName);
            return kUsageStatus;
        case CliAction::Program:
            break;
    }

    // No box service: every report is a line "tarnel-cli: TEXT: DETAIL" on standard error,
    // as tarnel -cc -p writes it; the bootloader is looked for where tarnel looks.
    SetReportProgramName(kProgramName);
    if (IsGang(options)) {
        GangRequest gang;
        gang.all = options.all;
        gang.adapters = options.adapters;
        gang.image = options.image;
        gang.report = options.report;
        gang.childProgram = ExecutablePath();
        gang.version = TARNEL_FILE_VERSION;
        return RunGang(gang);
    }
    if (!options.adapters.empty()) {
        ChooseAdapter(options.adapters.front());
    }
    // A gang's child tells its parent in protocol lines; a person gets the progress line.
    const bool child = IsGangChild();
    GangChildReporter childReporter(stdout);
    if (const std::string error = InstallBackendFromEnvironment(); !error.empty()) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        if (child) {
            childReporter.FailedBeforeRequest("The driver could not be loaded", error);
            childReporter.End(false, kDriverStatus);
        }
        return kDriverStatus;
    }
    TerminalProgress progress(stderr);
    ProgramObserver& observer = child ? static_cast<ProgramObserver&>(childReporter) : progress;
    ProgramRequest request;
    request.imagePath = options.image;
    const ProgramOutcome outcome = RunProgramRequest(request, observer);
    progress.EndLine();
    // The request has detached; this unloads the driver library.
    InstallDriverBackend(nullptr);
    const int status = ExitCode();
    const int exitStatus = !outcome.succeeded && status == 0 ? kFailureStatus : status;
    if (child) {
        childReporter.End(outcome.succeeded, exitStatus);
    }
    return exitStatus;
}

// The arguments after the program name, as UTF-8 on every system (paths are opened wide
// on Windows, where argv holds only the active code page).
std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> arguments;
#ifdef _WIN32
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i) {
        const int size =
            ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), size, nullptr, nullptr);
        text.resize(text.size() - 1);  // the terminating NUL
        arguments.push_back(std::move(text));
    }
    ::LocalFree(wide);
#else
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
#endif
    return arguments;
}

}  // namespace
}  // namespace tarnel::cli

int main(int argc, char** argv) {
    return tarnel::cli::Run(tarnel::cli::Arguments(argc, argv));
}
