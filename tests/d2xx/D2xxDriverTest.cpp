// tarnel with TARNEL_DRIVER=d2xx, the D2XX library loaded at run time: the stand-in
// library built from the simulator in place of the vendor's, chosen by
// TARNEL_D2XX_LIBRARY. Whole unattended runs, checked by exit status, flash and output.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "scan/ImageReader.h"
#include "support/SimProcess.h"
#include "usb/ToolFolder.h"

namespace tarnel::test {
namespace {

// Sets variables for the length of a scope, which the child process inherits, and puts
// back what was there before.
class Environment {
public:
    ~Environment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                ::unsetenv(it->first.c_str());
            }
        }
    }
    void Set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

class D2xxDriver : public ::testing::Test {
protected:
    void SetUp() override {
        folder = MakeToolFolder();
        ASSERT_FALSE(folder.empty());
        environment.Set("TARNEL_DRIVER", "d2xx");
        environment.Set("TARNEL_D2XX_LIBRARY", TARNEL_D2XX_STAND_IN);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    SimRunResult Program(const std::string& faults = "") {
        SimRunRequest request;
        request.executable = (folder / "tarnel").string();
        request.arguments = {"-cc", "-p", TARNEL_DEMO_IMAGE};
        request.faults = faults;
        request.timeout = std::chrono::seconds(20);
        return RunTarnelSim(request);
    }

    std::filesystem::path folder;
    Environment environment;
};

TEST_F(D2xxDriver, ProgramsTheDemoImageExactly) {
    std::vector<std::uint16_t> expected(32768, 0xFFFF);
    ASSERT_GE(ReadWordImage(TARNEL_DEMO_IMAGE, expected.data(), 32768), 0);

    const SimRunResult run = Program();

    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(run.flash, expected);
    EXPECT_TRUE(run.protocolErrors.empty());
    ASSERT_FALSE(run.calls.empty());
    EXPECT_EQ(run.calls.front().rfind("FT_CreateDeviceInfoList -> 0", 0), 0u) << run.calls.front();
}

TEST_F(D2xxDriver, TheAdapterIsFoundFirstAndChosenBySerialNumberOrLocation) {
    struct Case {
        const char* name;
        const char* faults;
        const char* adapter;  // TARNEL_ADAPTER; null: unset
        int exitStatus;
    };
    const Case cases[] = {
        {"a serial converter listed first", "foreign-first", nullptr, 0},
        {"the adapter's serial number", "foreign-first", "SIM00001", 0},
        {"the adapter's location in hex", "foreign-first", "0x12", 0},
        {"the adapter's location as a port path", "foreign-first", "1-2", 0},
        {"the converter's serial number", "foreign-first", "SIM00002", 2},
        {"a location where nothing is", "", "0x13", 2},
        {"no device at all", "no-adapter", nullptr, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Environment local;
        if (c.adapter != nullptr) {
            local.Set("TARNEL_ADAPTER", c.adapter);
        }
        const SimRunResult run = Program(c.faults);
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitStatus, c.exitStatus) << run.output;
        EXPECT_EQ(run.flashWritten, c.exitStatus == 0);
    }
}

TEST_F(D2xxDriver, ALibraryThatCannotBeUsedIsNamedWithTheReason) {
    struct Case {
        const char* name;
        std::string driver;
        std::string library;
        std::vector<std::string> said;
    };
    const std::string missing = (folder / "libftd2xx-missing.so").string();
    const Case cases[] = {
        {"missing library",
         "d2xx",
         missing,
         {"tarnel: cannot load the D2XX library " + missing, "No such file or directory"}},
        {"not the D2XX library",
         "d2xx",
         TARNEL_TOOL,
         {"tarnel: cannot load the D2XX library " TARNEL_TOOL}},
        {"unknown driver",
         "ftdi",
         TARNEL_D2XX_STAND_IN,
         {"tarnel: TARNEL_DRIVER=ftdi names no driver: use d2xx or libftdi"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Environment local;
        local.Set("TARNEL_DRIVER", c.driver);
        local.Set("TARNEL_D2XX_LIBRARY", c.library);
        const SimRunResult run = Program();
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitStatus, 2);
        for (const std::string& text : c.said) {
            EXPECT_NE(run.output.find(text), std::string::npos) << run.output;
        }
        EXPECT_TRUE(run.calls.empty());
    }
}

}  // namespace
}  // namespace tarnel::test
