#include <QPushButton>
#include <QToolButton>

#include "WindowParts.h"
#include "app/Action.h"
#include "app/SimWindowFixture.h"

namespace tarnel::test {
namespace {

const std::string kSetupWrite =
    "CA30303030303B3D37"
    "CA303C383030303038"
    "A7EB8FE386A3";
const std::string kRunExecute =
    "CA30343030303030"
    "32"
    "A7EB8FE386A3";
const std::string kHaltExecute =
    "CA30343030303030"
    "38"
    "A7EB8FE386A3";
const std::string kResetExecute =
    "CA30343030303030"
    "30"
    "A7EB8FE386A3";
const std::string kDetachBytes = "E0A0";

using DeviceActions = SimWindowFixture;

TEST_F(DeviceActions, AttachWithoutAdapterReportsAndSpringsBack) {
    Start("no-adapter");
    SBattach(*window)->click();
    EXPECT_EQ(reports, (std::vector<std::string>{"Dravin not found!"}));
    EXPECT_EQ(ExitCode(), 2);
    EXPECT_FALSE(Attached());
}

TEST_F(DeviceActions, AttachAndDetachFromTheSpeedButtonAndTheMenu) {
    Start();
    SBattach(*window)->click();
    EXPECT_TRUE(Attached());
    EXPECT_TRUE(simulator->AdapterOpen());
    EXPECT_TRUE(simulator->target().SetUp());
    const auto afterAttach = Trace().size();

    MIdevattach(*window)->trigger();
    EXPECT_FALSE(Attached());
    EXPECT_FALSE(simulator->AdapterOpen());
    EXPECT_EQ(WritesFrom(afterAttach), (std::vector<std::string>{kDetachBytes, "80C0E0A0A8B0"}));
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(ExitCode(), 0);

    MIdevattach(*window)->trigger();
    EXPECT_TRUE(Attached());
    EXPECT_EQ(simulator->ProtocolErrorCount(), 0u);
}

TEST_F(DeviceActions, FailingSetupWriteReportsAndDetachesAgain) {
    // Writes of an attach: probe, line idle, attach bytes; the set-up write is the 4th.
    Start("write-error=4");
    SBattach(*window)->click();
    EXPECT_EQ(reports, (std::vector<std::string>{"EICE communication error"}));
    EXPECT_EQ(ExitCode(), 1);
    EXPECT_FALSE(Attached());
    EXPECT_FALSE(simulator->AdapterOpen());
}

TEST_F(DeviceActions, FailedAttachFollowedByAGoodOneKeepsTheExitCode) {
    // The adapter ignores both probes of the first attach, then answers.
    Start("silent-probe=2");
    SBattach(*window)->click();
    EXPECT_FALSE(Attached());
    EXPECT_EQ(reports.size(), 1u);
    SBattach(*window)->click();
    EXPECT_TRUE(Attached());
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(ExitCode(), 2);
}

TEST_F(DeviceActions, ClosingTheWindowDetachesOnlyWhenAttached) {
    Start();
    window->show();
    auto before = Trace().size();
    window->close();
    EXPECT_TRUE(WritesFrom(before).empty());

    Start();
    window->show();
    SBattach(*window)->click();
    ASSERT_TRUE(Attached());
    before = Trace().size();
    window->close();
    EXPECT_EQ(WritesFrom(before), (std::vector<std::string>{kDetachBytes, "80C0E0A0A8B0"}));
    EXPECT_FALSE(simulator->AdapterOpen());
}

TEST_F(DeviceActions, RunAndStopPutExactlyTheirTwoWritesOnTheWire) {
    Start();
    SBattach(*window)->click();
    simulator->target().Execute(0x02000001);  // start from a halted target
    ASSERT_FALSE(simulator->target().Running());

    auto before = Trace().size();
    Brun(*window)->click();
    EXPECT_EQ(WritesFrom(before), (std::vector<std::string>{kSetupWrite, kRunExecute}));
    EXPECT_TRUE(simulator->target().Running());

    before = Trace().size();
    Bstop(*window)->click();
    EXPECT_EQ(WritesFrom(before), (std::vector<std::string>{kSetupWrite, kHaltExecute}));
    EXPECT_FALSE(simulator->target().Running());
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(Attached());
}

TEST_F(DeviceActions, ResetRestartsOnlyARunningTarget) {
    for (const bool running : {true, false}) {
        SCOPED_TRACE(running ? "running" : "halted");
        Start();
        SBattach(*window)->click();
        ACrun(*window)->execute();
        if (!running) {
            ACstop(*window)->execute();
        }
        const auto before = Trace().size();
        Breset(*window)->click();
        const auto writes = WritesFrom(before);
        // set-up, status read request, halt, 0xFF42, 0xFF79 x2, reset [, run]
        ASSERT_EQ(writes.size(), running ? 8u : 7u);
        EXPECT_EQ(writes[0], kSetupWrite);
        EXPECT_EQ(writes[2], kHaltExecute);
        EXPECT_EQ(writes[6], kResetExecute);
        if (running) {
            EXPECT_EQ(writes[7], kRunExecute);
        }
        EXPECT_EQ(simulator->target().Running(), running);
        EXPECT_TRUE(reports.empty());
        EXPECT_TRUE(Attached());
        EXPECT_EQ(simulator->ProtocolErrorCount(), 0u);
    }
}

struct FailureCase {
    const char* name;
    const char* faults;  // an attach makes writes 1 to 4
    void (TFmainform::*handler)(QObject*);
    std::size_t writesAfterAttach;  // the failing write is the last of them
};

TEST_F(DeviceActions, AFailureAtATestedStepReportsOnceAndDetaches) {
    // The simulated target runs its application at power-up, so Reset restarts it.
    const FailureCase cases[] = {
        {"run: set-up write", "write-error=5", &TFmainform::ACrunExecute, 1},
        {"run: run execute", "write-error=6", &TFmainform::ACrunExecute, 2},
        {"stop: set-up write, halt never sent", "write-error=5", &TFmainform::ACstopExecute, 1},
        {"stop: halt execute", "write-error=6", &TFmainform::ACstopExecute, 2},
        // A short write leaves the link usable, so only the set-up's own check can see it.
        {"run: short set-up write", "short-write=5", &TFmainform::ACrunExecute, 3},
        {"stop: short set-up write", "short-write=5", &TFmainform::ACstopExecute, 3},
        {"reset: reset execute, no restart", "write-error=11", &TFmainform::ACresetExecute, 7},
        {"reset: restart", "write-error=12", &TFmainform::ACresetExecute, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reports.clear();
        ResetReportState();
        Start(c.faults);
        SBattach(*window)->click();
        ASSERT_TRUE(Attached());
        const auto before = Trace().size();
        (window.get()->*c.handler)(nullptr);
        EXPECT_EQ(reports, (std::vector<std::string>{"EICE communication error"}));
        EXPECT_EQ(ExitCode(), 1);
        EXPECT_FALSE(Attached());
        EXPECT_FALSE(simulator->AdapterOpen());
        // Nothing goes on the wire after the failing write: the failed link refuses the
        // detach bytes and the line-idle sequence, and the device is closed.
        EXPECT_EQ(WritesFrom(before).size(), c.writesAfterAttach);
    }
}

TEST_F(DeviceActions, ResetIgnoresAShortSetUpWrite) {
    Start("short-write=5");
    SBattach(*window)->click();
    ACreset(*window)->execute();
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_TRUE(Attached());
}

}  // namespace
}  // namespace tarnel::test
