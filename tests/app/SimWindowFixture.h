#pragma once
// Runs the main window on the simulated adapter and target, in this process, with every
// report captured instead of shown.

#include <gtest/gtest.h>

#include <QAction>
#include <QTemporaryDir>
#include <QToolButton>
#include <string>
#include <vector>

#include "WindowParts.h"
#include "app/Mainform.h"
#include "link/AdapterLink.h"
#include "platform/DriverBackend.h"
#include "report/Report.h"
#include "sim/Faults.h"
#include "sim/SimulatedBackend.h"
#include "support/ProcessGlobals.h"
#include "support/WireTraceReader.h"

namespace tarnel::test {

class SimWindowFixture : public ::testing::Test {
protected:
    SimWindowFixture() {
        previousService_ = SetMessageBoxService([this](const char* text, const char*, int) {
            reports.emplace_back(text);
            return 1;
        });
    }

    ~SimWindowFixture() override {
        window.reset();
        ResetProcessGlobals();  // now, while the simulator can still write into dir_
        SetMessageBoxService(std::move(previousService_));
    }

    // Installs a fresh simulator with `faults` (tokens as TARNEL_SIM_FAULTS takes them) and
    // creates the window with `arguments`.
    void Start(const std::string& faults = "", const std::vector<std::string>& arguments = {}) {
        sim::SimConfig config;
        std::string error;
        const auto parsed = sim::ParseFaults(faults, &error);
        ASSERT_TRUE(parsed.has_value()) << error;
        config.faults = *parsed;
        config.tracePath = TracePath();
        config.flashPath = dir_.filePath("flash.rom").toStdString();
        auto backend = std::make_unique<sim::SimulatedBackend>(config);
        simulator = backend.get();
        InstallDriverBackend(std::move(backend));
        window = std::make_unique<TFmainform>(nullptr, ParseCommandLine(arguments));
    }

    std::string TracePath() const { return dir_.filePath("wire.trace").toStdString(); }

    // Every line of the wire trace so far.
    std::vector<std::string> Trace() const { return ReadWireTrace(TracePath()).lines; }

    // The bytes of every FT_Write in the trace from line `from` on, as hex.
    std::vector<std::string> WritesFrom(std::size_t from) const {
        return WrittenHex(Trace(), from);
    }

    // The attached state as the window shows it; the test fails unless the toggle, the
    // menu item, the speed button and the three debug actions agree.
    bool Attached() const {
        const bool checked = ACattach(*window)->isChecked();
        EXPECT_EQ(MIdevattach(*window)->isChecked(), checked);
        EXPECT_EQ(SBattach(*window)->isChecked(), checked);
        EXPECT_EQ(ACrun(*window)->isEnabled(), checked);
        EXPECT_EQ(ACstop(*window)->isEnabled(), checked);
        EXPECT_EQ(ACreset(*window)->isEnabled(), checked);
        EXPECT_EQ(MIrun(*window)->isEnabled(), checked);
        return checked;
    }

    ProcessGlobalsScope globals_;
    QTemporaryDir dir_;
    sim::SimulatedBackend* simulator = nullptr;
    std::unique_ptr<TFmainform> window;
    std::vector<std::string> reports;

private:
    MessageBoxService previousService_;
};

}  // namespace tarnel::test
