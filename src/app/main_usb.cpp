// tarnel: the tool on real adapters, through the driver backend its environment chooses.

#include <cstdio>
#include <string>

#include "app/Application.h"
#include "app/HelpText.h"
#include "platform/DriverBackend.h"
#include "platform/DriverChoice.h"

int main(int argc, char** argv) {
    // Answered even when no driver could be loaded.
    if (const auto status = tarnel::AnswerHelpOrVersion(argc, argv)) {
        return *status;
    }
    if (const std::string error = tarnel::InstallBackendFromEnvironment(); !error.empty()) {
        std::fprintf(stderr, "tarnel: %s\n", error.c_str());
        return 2;  // the exit code of an adapter that cannot be reached
    }
    const int status = tarnel::TarnelMain(argc, argv);
    tarnel::InstallDriverBackend(nullptr);
    return status;
}
