#pragma once
// The simulated backend as the tarnel-sim executable configures it, from its environment:
//   TARNEL_SIM_FLASH   path of the simulated flash file
//   TARNEL_SIM_TRACE   path of the wire trace
//   TARNEL_SIM_FAULTS  comma-separated faults to inject
// A TARNEL_SIM_FAULTS that cannot be parsed is a usage error: the reason and the list of
// faults go to standard error and the process exits with status kBadFaultsExitStatus, so
// that a mistyped fault never passes as a run without faults. TARNEL_SIM_FAULTS=help prints
// the list of faults to standard output and exits with status 0.

#include <memory>

#include "platform/DriverBackend.h"

namespace tarnel {

inline constexpr int kBadFaultsExitStatus = 64;

std::unique_ptr<DriverBackend> MakeSimulatedBackendFromEnvironment();

}  // namespace tarnel
