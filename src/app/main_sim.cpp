// tarnel-sim: the same tool on the simulated adapter and target, configured from the
// TARNEL_SIM_* environment variables.

#include "app/Application.h"
#include "platform/ConsoleText.h"
#include "platform/DriverBackend.h"
#include "sim/SimEnvironment.h"

int main(int argc, char** argv) {
    tarnel::AttachParentConsole();
    tarnel::InstallDriverBackend(tarnel::MakeSimulatedBackendFromEnvironment());
    const int status = tarnel::TarnelMain(argc, argv);
    // Destroying the backend writes the simulated flash back when the adapter is open.
    tarnel::InstallDriverBackend(nullptr);
    return status;
}
