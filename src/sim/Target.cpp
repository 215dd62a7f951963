#include "sim/Target.h"

#include <algorithm>

#include "sim/Hex.h"

namespace tarnel::sim {
namespace {

enum Space : unsigned {
    kDataWord = 0x00,
    kProgramWord = 0x01,
    kControl = 0x02,
    kSetup = 0x03,
    kDataPair = 0x04,
    kRegister = 0x10,
};

unsigned SpaceOf(std::uint32_t command) {
    return (command >> 24) & 0x7F;
}

unsigned AddressOf(std::uint32_t command) {
    return command & 0xFFFFFF;
}

bool IsRegisterAddress(unsigned address) {
    return address >= 0xFF00 && address <= 0xFFFF;
}

}  // namespace

Target::Target(const Faults& faults, ProtocolLog& log)
    : log_(log), bootloader_(faults, log, flash_, data_) {
    for (unsigned a = 0; a < kMemoryWords; ++a) {
        program_memory_[a] = ProgramCanary(a);
        data_[a] = DataCanary(a);
    }
}

bool Target::Accepts(std::uint32_t command) {
    if (!setUp_) {
        log_.Report("command " + Hex32(command) + " before the debug-port set-up");
        return false;
    }
    return true;
}

void Target::Write(std::uint32_t command, std::uint32_t value) {
    // Formatted only when there is an error to report: writes are the hot path.
    const auto what = [&] { return "write of " + Hex32(value) + " to " + Hex32(command); };
    if (command == kSetupCommand) {
        if (value != kSetupValue) {
            log_.Report("debug-port set-up with value " + Hex32(value) + " instead of " +
                        Hex32(kSetupValue));
            return;
        }
        setUp_ = true;
        return;
    }
    if (!Accepts(command)) {
        return;
    }
    const unsigned space = SpaceOf(command);
    const unsigned address = AddressOf(command);
    if (space == kDataPair) {
        if (address + 1 >= kMemoryWords) {
            log_.Report(what() + ": word pair beyond data memory");
            return;
        }
        WriteData(address, static_cast<std::uint16_t>(value >> 16));
        WriteData(address + 1, static_cast<std::uint16_t>(value & 0xFFFF));
        return;
    }
    if (space != kDataWord && space != kProgramWord && space != kRegister) {
        log_.Report(what() + ": no such write command");
        return;
    }
    if (value > 0xFFFF) {
        log_.Report(what() + ": value wider than a 16-bit word");
        return;
    }
    const auto word = static_cast<std::uint16_t>(value);
    if (space == kRegister) {
        if (!IsRegisterAddress(address)) {
            log_.Report(what() + ": register address outside 0xFF00..0xFFFF");
            return;
        }
        WriteRegister(address, word);
        return;
    }
    if (address >= kMemoryWords) {
        log_.Report(what() + ": address beyond the 16-bit word space");
        return;
    }
    if (space == kDataWord) {
        WriteData(address, word);
        return;
    }
    if (running_) {
        log_.Report(what() + ": program memory written while the target runs");
        return;
    }
    program_memory_[address] = word;
    uploaded_ = true;
}

void Target::WriteData(unsigned address, std::uint16_t value) {
    data_[address] = value;
    if (ServesMailbox()) {
        bootloader_.DataWritten(address, value);
    }
}

void Target::WriteRegister(unsigned address, std::uint16_t value) {
    registers_[address & 0xFF] = value;
    if (address != kResetControlRegister) {
        return;
    }
    if (value == kResetControlAssert) {
        resetControlHeld_ = true;
    } else if (value == 0 && resetControlHeld_) {
        resetControlHeld_ = false;
        resetPulsed_ = true;
    }
}

void Target::Execute(std::uint32_t command) {
    if (!Accepts(command)) {
        return;
    }
    switch (command) {
        case kHaltCommand:
            running_ = false;
            return;
        case kRunCommand:
            Run();
            return;
        case kResetCommand:
            Reset();
            return;
        default:
            log_.Report("execute of " + Hex32(command) + ": no such execute command");
    }
}

void Target::Reset() {
    if (!resetPulsed_ || resetControlHeld_) {
        log_.Report("reset command without the reset-control pulse (12, then 0, to " +
                    Hex16(kResetControlRegister) + ")");
        return;
    }
    resetPulsed_ = false;
    running_ = false;
    program_ = Program::Application;
    uploaded_ = false;
    bootloader_.Reset();
}

void Target::Run() {
    // Code uploaded since the last reset or run is what starts; otherwise the target goes
    // on with the program it had (the application after a reset).
    if (uploaded_) {
        uploaded_ = false;
        const bool isBootloader = std::equal(kBootloaderSignature.begin(),
                                             kBootloaderSignature.end(), program_memory_.begin());
        program_ = isBootloader ? Program::Bootloader : Program::Unknown;
    }
    running_ = true;
}

std::optional<std::uint32_t> Target::Read(std::uint32_t command) {
    if (!Accepts(command)) {
        return std::nullopt;
    }
    const unsigned space = SpaceOf(command);
    const unsigned address = AddressOf(command);
    const auto what = [&] { return "read of " + Hex32(command); };
    switch (space) {
        case kControl:
            if (command != kStatusCommand) {
                break;
            }
            return running_ ? kRunningFlag : 0u;
        case kDataWord:
        case kProgramWord:
            if (address >= kMemoryWords) {
                log_.Report(what() + ": address beyond the 16-bit word space");
                return std::nullopt;
            }
            if (space == kProgramWord) {
                return program_memory_[address];
            }
            if (address == kMailboxCommand && ServesMailbox()) {
                bootloader_.CommandPolled();
            }
            return data_[address];
        case kDataPair:
            if (address + 1 >= kMemoryWords) {
                log_.Report(what() + ": word pair beyond data memory");
                return std::nullopt;
            }
            return (std::uint32_t{data_[address]} << 16) | data_[address + 1];
        case kRegister:
            if (!IsRegisterAddress(address)) {
                log_.Report(what() + ": register address outside 0xFF00..0xFFFF");
                return std::nullopt;
            }
            return registers_[address & 0xFF];
        default:
            break;
    }
    log_.Report(what() + ": no such read command");
    return std::nullopt;
}

}  // namespace tarnel::sim
