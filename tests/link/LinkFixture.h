#pragma once
// Shared set-up of the link tests: the process globals reset, the scripted driver
// installed, and the call sequences that opening produces.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/AdapterLink.h"
#include "link/LinkRecord.h"
#include "support/ProcessGlobals.h"
#include "support/ScriptedBackend.h"

namespace tarnel::test {

using Log = std::vector<std::string>;

inline Log Concat(std::initializer_list<Log> parts) {
    Log all;
    for (const Log& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

inline const Log kSetUpCalls = {"FT_SetLatencyTimer 1", "FT_SetTimeouts 100 0", "FT_Purge 3"};
inline const Log kProbeCalls = {"FT_Write D0", "FT_Read 1"};
inline const Log kOpenTail = {"FT_SetTimeouts 0 0", "FT_Write 80C0E0A0A8B0"};
inline const std::string kLineIdleWrite = "FT_Write 80C0E0A0A8B0";

inline Log RecoveryCalls() {
    Log calls = {"FT_SetBitMode 0x80 1", "FT_Purge 3", "FT_SetBaudRate 9600"};
    calls.insert(calls.end(), 248, "FT_Write 00");
    calls.insert(calls.end(), {"Sleep 100", "FT_SetBitMode 0x00 0", "FT_Purge 3"});
    return calls;
}

class LinkFixture : public ::testing::Test {
protected:
    AdapterLink& link() { return TheAdapterLink(); }

    // One adapter that answers the probe at once; the link is opened and the log cleared.
    void OpenHealthyLink() {
        backend.devices = {ScriptedDevice{}};
        backend.QueueRead({0x55});
        ASSERT_EQ(OpenLink(), kLinkOk);
        backend.ClearLog();
    }

    // Puts the link into the failed state through a write error of a one-byte flush.
    void FailLink() {
        backend.FailNth(Call::Write, backend.CountOf(Call::Write) + 1, FT_IO_ERROR);
        ASSERT_EQ(PutByte(0x11), kLinkOk);
        ASSERT_EQ(FlushLink(), kLinkFailed);
        ASSERT_EQ(link().lastStatus, FT_IO_ERROR);
        backend.ClearLog();
    }

    ProcessGlobalsScope globals;  // made before the driver is installed, gone after
    ScriptedDriverScope driver;
    ScriptedBackend& backend = driver.backend;
};

}  // namespace tarnel::test
