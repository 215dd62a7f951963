#include "sim/SimEnvironment.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/SimulatedBackend.h"

namespace tarnel {
namespace {
std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}
}  // namespace

std::unique_ptr<DriverBackend> MakeSimulatedBackendFromEnvironment() {
    sim::SimConfig config;
    config.flashPath = Variable("TARNEL_SIM_FLASH");
    config.tracePath = Variable("TARNEL_SIM_TRACE");
    const std::string faultList = Variable("TARNEL_SIM_FAULTS");
    if (faultList == "help") {
        std::printf("TARNEL_SIM_FAULTS takes a comma-separated list of:\n%s",
                    sim::FaultHelp().c_str());
        std::exit(0);
    }
    std::string error;
    const auto faults = sim::ParseFaults(faultList, &error);
    if (!faults) {
        std::fprintf(stderr, "tarnel-sim: TARNEL_SIM_FAULTS: %s\nThe faults are:\n%s",
                     error.c_str(), sim::FaultHelp().c_str());
        std::exit(kBadFaultsExitStatus);
    }
    config.faults = *faults;
    return std::make_unique<sim::SimulatedBackend>(std::move(config));
}

}  // namespace tarnel
