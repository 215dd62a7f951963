// The process helper, with a stand-in program that installs the simulated backend from
// its environment and drives it with the tool's link and channel code.

#include <gtest/gtest.h>

#include "scan/ImageReader.h"
#include "sim/SimEnvironment.h"
#include "support/SimProcess.h"

namespace tarnel::test {
namespace {

SimRunRequest StandIn(std::vector<std::string> arguments, std::string faults = "") {
    SimRunRequest request;
    request.executable = TARNEL_SIM_STAND_IN;
    request.arguments = std::move(arguments);
    request.faults = std::move(faults);
    request.timeout = std::chrono::seconds(20);
    return request;
}

TEST(SimProcess, ProgrammingRunGivesStatusTraceAndFlash) {
    const SimRunResult run = RunTarnelSim(StandIn({"program", TARNEL_SIM_BOOTLOADER_IMAGE}));
    ASSERT_TRUE(run.started) << run.output;
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    ASSERT_FALSE(run.calls.empty());
    EXPECT_EQ(run.calls.front(), "FT_ListDevices -> 0 1");
    EXPECT_EQ(run.calls.back(), "FT_Close -> 0");
    EXPECT_TRUE(run.protocolErrors.empty()) << run.protocolErrors.front();
    ASSERT_TRUE(run.flashWritten);
    EXPECT_TRUE(run.flashFormatErrors.empty()) << run.flashFormatErrors.front();
    for (unsigned j = 0; j < 256; ++j) {
        EXPECT_EQ(run.flash[j], j);
    }
    EXPECT_EQ(run.flash[256], 0xFFFF);
}

TEST(SimProcess, FlashIsWrittenWhenTheProcessEndsAttached) {
    SimRunRequest request = StandIn({"stay-attached"});
    request.initialFlash = "@000100 1234\n@007FFF 0000\n";
    const SimRunResult run = RunTarnelSim(request);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_NE(run.calls.back(), "FT_Close -> 0");
    ASSERT_TRUE(run.flashWritten);
    EXPECT_EQ(run.flash[0x100], 0x1234);
    EXPECT_EQ(run.flash[0x7FFF], 0x0000);
    EXPECT_TRUE(run.flashFormatErrors.empty());
}

TEST(SimProcess, FaultsReachTheSimulator) {
    const SimRunResult run = RunTarnelSim(StandIn({"attach"}, "no-adapter"));
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.calls, std::vector<std::string>{"FT_ListDevices -> 0 0"});
    EXPECT_FALSE(run.flashWritten);
}

TEST(SimProcess, MistypedFaultStopsTheRun) {
    const SimRunResult run = RunTarnelSim(StandIn({"attach"}, "no-adaptr"));
    EXPECT_EQ(run.exitStatus, kBadFaultsExitStatus);
    EXPECT_NE(run.output.find("unknown fault 'no-adaptr'"), std::string::npos) << run.output;
    EXPECT_TRUE(run.trace.empty());
}

TEST(SimProcess, HangingProgramIsKilledAfterTheTimeOut) {
    SimRunRequest request = StandIn({"hang"});
    request.timeout = std::chrono::milliseconds(300);
    const SimRunResult run = RunTarnelSim(request);
    EXPECT_TRUE(run.timedOut);
    EXPECT_EQ(run.exitStatus, -1);
}

#ifdef TARNEL_SIM_DEMO_IMAGE
// The real tool on the simulator: a whole unattended programming run.
TEST(SimProcess, TarnelSimProgramsTheDemoImage) {
    SimRunRequest request;
    request.arguments = {"-cc", "-p", TARNEL_SIM_DEMO_IMAGE};
    const SimRunResult run = RunTarnelSim(request);
    ASSERT_TRUE(run.started) << run.output;
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_TRUE(run.protocolErrors.empty()) << run.protocolErrors.front();
    std::vector<std::uint16_t> expected(32768, 0xFFFF);
    ASSERT_GE(ReadWordImage(TARNEL_SIM_DEMO_IMAGE, expected.data(), 32768), 0);
    EXPECT_EQ(run.flash, expected);
    EXPECT_TRUE(run.flashFormatErrors.empty());
}
#endif

TEST(SimProcess, MissingProgramIsNotStarted) {
    SimRunRequest request = StandIn({});
    request.executable = "/nonexistent/tarnel-sim";
    EXPECT_FALSE(RunTarnelSim(request).started);
}

}  // namespace
}  // namespace tarnel::test
