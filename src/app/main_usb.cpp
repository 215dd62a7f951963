// tarnel: the tool on real adapters, through the driver backend its environment chooses.

#include <string>

#include "app/Application.h"
#include "app/HelpText.h"
#include "platform/ConsoleText.h"
#include "platform/DriverBackend.h"
#include "platform/DriverChoice.h"
#ifdef _WIN32
#include "app/CommandLine.h"
#include "app/DriverMissing.h"
#include "platform/Arguments.h"
#endif

int main(int argc, char** argv) {
    tarnel::AttachParentConsole();
    // Answered even when no driver could be loaded.
    if (const auto status = tarnel::AnswerHelpOrVersion(argc, argv)) {
        return *status;
    }
    if (const std::string error = tarnel::InstallBackendFromEnvironment(); !error.empty()) {
        tarnel::WriteText(stderr, "tarnel: " + error + "\n");
#ifdef _WIN32
        // Started from Explorer, nobody sees that line.
        if (!tarnel::ParseCommandLine(tarnel::ProgramArguments(argc, argv)).quiet) {
            tarnel::ShowDriverMissingBox(argc, argv, error);
        }
#endif
        return 2;  // the exit code of an adapter that cannot be reached
    }
    const int status = tarnel::TarnelMain(argc, argv);
    tarnel::InstallDriverBackend(nullptr);
    return status;
}
