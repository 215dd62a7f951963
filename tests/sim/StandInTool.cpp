// A small program that installs the simulated backend from its environment, as tarnel-sim
// does, and drives it with the tool's own link and channel code. It lets the process
// helper be tested without the window. Modes (first argument):
//   attach                     attach, set up the debug port, detach
//   stay-attached              the same, but end the process without detaching
//   program <bootloader image> upload the bootloader, erase, program page 0 with the
//                              words 0, 1, ... 255, restart the target, detach
//   hang                       never end
// Exit status: 0 done, 1 attach failed, 2 a programming step failed.

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "eice/Eice.h"
#include "link/Attach.h"
#include "platform/DriverBackend.h"
#include "platform/Sleep.h"
#include "scan/ImageReader.h"
#include "sim/SimEnvironment.h"

using namespace tarnel;

namespace {

std::uint32_t MailboxCommand(std::uint16_t command) {
    std::uint32_t answer = 0xFFFFFFFF;
    EiceWrite(CmdDataWord + 0xF1, command);
    for (int poll = 0; poll < 10; ++poll) {
        if (EiceRead(CmdDataWord + 0xF1, answer) != 0 || (answer & 0x8000) == 0) {
            break;
        }
    }
    return answer;
}

bool Program(const char* bootloaderPath) {
    std::vector<std::uint16_t> boot(2048, 0);
    const int highest = ReadWordImage(bootloaderPath, boot.data(), 2048);
    if (highest < 0) {
        return false;
    }
    EiceExecute(CmdHalt);
    EiceWrite(CmdRegister + 0xFF79, 12);
    EiceWrite(CmdRegister + 0xFF79, 0);
    EiceExecute(CmdReset);
    SetLinkAutoFlush(0);
    for (int i = 0; i <= highest; ++i) {
        EiceWrite(CmdProgramWord | static_cast<std::uint32_t>(i),
                  boot[static_cast<std::size_t>(i)]);
    }
    EiceExecute(CmdRun);
    if (MailboxCommand(0x8003) != 1) {
        return false;
    }
    EiceWrite(CmdDataWord + 0xF2, 0);
    for (std::uint32_t j = 0; j < 256; ++j) {
        EiceWrite(CmdDataWord + 0xF3 + j, j);
    }
    if (MailboxCommand(0x8001) != 1) {
        return false;
    }
    SetLinkAutoFlush(1);
    EiceExecute(CmdHalt);
    EiceWrite(CmdRegister + 0xFF79, 12);
    EiceWrite(CmdRegister + 0xFF79, 0);
    EiceExecute(CmdReset);
    EiceExecute(CmdRun);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    InstallDriverBackend(MakeSimulatedBackendFromEnvironment());
    SetSleepFunction([](unsigned) {});
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "hang") {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::hours(1));
        }
    }
    int status = 0;
    if (AttachAdapter() != 0) {
        status = 1;
    } else {
        EiceWrite(CmdSetup, SetupValue);
        if (mode == "program" && (argc < 3 || !Program(argv[2]))) {
            status = 2;
        }
        if (mode != "stay-attached") {
            DetachAdapter();
        }
    }
    InstallDriverBackend(nullptr);
    return status;
}
