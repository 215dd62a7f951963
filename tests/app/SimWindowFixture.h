#pragma once
// Runs the main window on the simulated adapter and target, in this process, with every
// report captured instead of shown.

#include <gtest/gtest.h>

#include <QAction>
#include <QTemporaryDir>
#include <QToolButton>
#include <fstream>
#include <string>
#include <vector>

#include "app/Mainform.h"
#include "link/AdapterLink.h"
#include "platform/DriverBackend.h"
#include "report/Report.h"
#include "sim/Faults.h"
#include "sim/SimulatedBackend.h"

namespace tarnel::test {

class SimWindowFixture : public ::testing::Test {
protected:
    SimWindowFixture() {
        AbandonLink();
        TheAdapterLink() = AdapterLink{};
        TheAdapterLink().handle = kNoDevice;
        autoFlush = 0;
        exitCode = 0;
        quietMode = 0;
        previousService_ = SetMessageBoxService([this](const char* text, const char*, int) {
            reports.emplace_back(text);
            return 1;
        });
    }

    ~SimWindowFixture() override {
        window.reset();
        AbandonLink();
        InstallDriverBackend(nullptr);
        SetMessageBoxService(std::move(previousService_));
        exitCode = 0;
        quietMode = 0;
        autoFlush = 0;
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
        window = std::make_unique<TFmainform>(nullptr, arguments);
    }

    std::string TracePath() const { return dir_.filePath("wire.trace").toStdString(); }

    // Every line of the wire trace so far.
    std::vector<std::string> Trace() const {
        std::vector<std::string> lines;
        std::ifstream file(TracePath());
        for (std::string line; std::getline(file, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    // The bytes of every FT_Write in the trace from line `from` on, as hex.
    std::vector<std::string> WritesFrom(std::size_t from) const {
        std::vector<std::string> writes;
        const auto lines = Trace();
        for (std::size_t i = from; i < lines.size(); ++i) {
            if (lines[i].rfind("FT_Write ", 0) == 0) {
                writes.push_back(lines[i].substr(9, lines[i].find(' ', 9) - 9));
            }
        }
        return writes;
    }

    // The attached state as the window shows it; the test fails unless the toggle, the
    // menu item, the speed button and the three debug actions agree.
    bool Attached() const {
        const bool checked = window->ACattach->isChecked();
        EXPECT_EQ(window->MIdevattach->isChecked(), checked);
        EXPECT_EQ(window->SBattach->isChecked(), checked);
        EXPECT_EQ(window->ACrun->isEnabled(), checked);
        EXPECT_EQ(window->ACstop->isEnabled(), checked);
        EXPECT_EQ(window->ACreset->isEnabled(), checked);
        EXPECT_EQ(window->MIrun->isEnabled(), checked);
        return checked;
    }

    QTemporaryDir dir_;
    sim::SimulatedBackend* simulator = nullptr;
    std::unique_ptr<TFmainform> window;
    std::vector<std::string> reports;

private:
    MessageBoxService previousService_;
};

}  // namespace tarnel::test
