#pragma once
// The target behind the debug port: run state, the debug-port set-up, registers 0xFFxx,
// the reset-control pulse, program and data memory, the flash and, once uploaded and
// started, the stand-in bootloader. It receives whole transactions (the channel decoding
// lies in front of it) and reports every command that the tool has no business sending.

#include <array>
#include <cstdint>
#include <optional>

#include "sim/Bootloader.h"
#include "sim/Faults.h"
#include "sim/FlashArray.h"
#include "sim/ProtocolLog.h"
#include "sim/TargetMemory.h"

namespace tarnel::sim {

inline constexpr std::uint32_t kReadFlag = 0x80000000u;
inline constexpr std::uint32_t kSetupCommand = 0x03100001u;
inline constexpr std::uint32_t kSetupValue = 0x0DBEu;
inline constexpr std::uint32_t kHaltCommand = 0x02000001u;
inline constexpr std::uint32_t kRunCommand = 0x02000004u;
inline constexpr std::uint32_t kResetCommand = 0x02000000u;
inline constexpr std::uint32_t kStatusCommand = 0x82000400u;
inline constexpr std::uint32_t kRunningFlag = 0x20u;
inline constexpr unsigned kResetControlRegister = 0xFF79;
inline constexpr std::uint16_t kResetControlAssert = 12;

class Target {
public:
    enum class Program {
        Application,  // the code in flash, started after a reset
        Bootloader,   // uploaded code that starts with the stand-in bootloader's signature
        Unknown,      // any other uploaded code: it never answers the mailbox
    };

    Target(const Faults& faults, ProtocolLog& log);
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    // A new attach: the debug port has to be set up again before it takes commands.
    void Attached() { setUp_ = false; }

    // Transactions as they reach the debug port.
    void Write(std::uint32_t command, std::uint32_t value);
    void Execute(std::uint32_t command);
    // The answer to a read, or nothing when the read is off-protocol (then the target
    // clocks no answer back).
    std::optional<std::uint32_t> Read(std::uint32_t command);

    bool Running() const { return running_; }
    Program CurrentProgram() const { return program_; }
    bool ServesMailbox() const { return running_ && program_ == Program::Bootloader; }
    bool SetUp() const { return setUp_; }

    std::uint16_t ProgramWord(unsigned address) const { return program_memory_.at(address); }
    std::uint16_t DataWord(unsigned address) const { return data_.at(address); }
    std::uint16_t Register(unsigned address) const { return registers_.at(address & 0xFF); }
    FlashArray& Flash() { return flash_; }
    const FlashArray& Flash() const { return flash_; }

private:
    bool Accepts(std::uint32_t command);
    void WriteData(unsigned address, std::uint16_t value);
    void WriteRegister(unsigned address, std::uint16_t value);
    void Reset();
    void Run();

    ProtocolLog& log_;
    WordMemory program_memory_{};
    WordMemory data_{};
    std::array<std::uint16_t, 256> registers_{};
    FlashArray flash_;
    Bootloader bootloader_;
    bool running_ = true;  // a powered target runs its application
    Program program_ = Program::Application;
    bool setUp_ = false;
    bool uploaded_ = false;          // program memory written since the last reset or run
    bool resetControlHeld_ = false;  // 12 written to the reset-control register
    bool resetPulsed_ = false;       // ... and then 0: the pulse that a reset needs
};

}  // namespace tarnel::sim
