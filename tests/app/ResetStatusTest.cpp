// Reset decides the restart from bit 5 of the status word alone; the answers here come
// from the scripted driver so that any status word can be given.

#include <gtest/gtest.h>

#include "WindowParts.h"
#include "app/Action.h"
#include "app/Mainform.h"
#include "link/AdapterLink.h"
#include "report/Report.h"
#include "support/ProcessGlobals.h"
#include "support/ScriptedBackend.h"

namespace tarnel::test {
namespace {

const std::string kRunExecute =
    "CA30343030303030"
    "32"
    "A7EB8FE386A3";

// The eight answer bytes that carry `word`: low nibbles bit-reversed, most significant first.
std::vector<std::uint8_t> AnswerBytes(std::uint32_t word) {
    static const std::uint8_t reverse[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    std::vector<std::uint8_t> bytes;
    for (int n = 7; n >= 0; --n) {
        bytes.push_back(0x30 | reverse[(word >> (4 * n)) & 0xF]);
    }
    return bytes;
}

struct StatusCase {
    std::uint32_t status;
    bool restarts;
};

TEST(ResetStatus, OnlyTheRunningFlagDecidesTheRestart) {
    const StatusCase cases[] = {
        {0x00000020, true}, {0xFFFFFFFF, true}, {0x00000000, false}, {0xFFFFFFDF, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        ProcessGlobalsScope globals;
        ScriptedDriverScope driver;
        driver.backend.devices = {ScriptedDevice{}};
        driver.backend.QueueRead({0x01});  // probe answer
        driver.backend.QueueRead(AnswerBytes(c.status));
        auto previous = SetMessageBoxService([](const char*, const char*, int) { return 1; });
        {
            TFmainform window(nullptr, {});
            ACattach(window)->execute();
            ASSERT_TRUE(ACattach(window)->isChecked());
            const std::size_t before = driver.backend.Writes().size();
            ACreset(window)->execute();
            const auto& writes = driver.backend.Writes();
            ASSERT_EQ(writes.size() - before, c.restarts ? 8u : 7u);
            EXPECT_EQ(Hex(writes.back()) == kRunExecute, c.restarts);
            EXPECT_EQ(ExitCode(), 0);
            ACattach(window)->execute();
        }
        SetMessageBoxService(std::move(previous));
    }
}

}  // namespace
}  // namespace tarnel::test
