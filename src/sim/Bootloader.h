#pragma once
// The stand-in RAM bootloader's side of the flash mailbox in target data memory:
//   0xF1          command and status word (0x8003 erase, 0x8001 program page; the answer
//                 replaces the command: 1 success, 2 failure; bit 15 set reads as busy)
//   0xF2          page number
//   0xF3..0x1F2   page buffer, word j at 0xF3 + j
// The bootloader works on a command when the command word is polled, so the busy-polls
// fault can hold each answer back for a number of polls.

#include <cstdint>
#include <optional>

#include "sim/Faults.h"
#include "sim/FlashArray.h"
#include "sim/ProtocolLog.h"
#include "sim/TargetMemory.h"

namespace tarnel::sim {

inline constexpr unsigned kMailboxCommand = 0xF1;
inline constexpr unsigned kMailboxPage = 0xF2;
inline constexpr unsigned kMailboxBuffer = 0xF3;
inline constexpr unsigned kMailboxEnd = kMailboxBuffer + kPageWords;  // one past 0x1F2
inline constexpr std::uint16_t kMailboxErase = 0x8003;
inline constexpr std::uint16_t kMailboxProgram = 0x8001;
inline constexpr std::uint16_t kAnswerDone = 1;
inline constexpr std::uint16_t kAnswerFailed = 2;

class Bootloader {
public:
    Bootloader(const Faults& faults, ProtocolLog& log, FlashArray& flash, WordMemory& data);

    // Forgets any command in progress (the target was reset).
    void Reset() { pending_.reset(); }

    // The debug port has stored `value` at data `address` while the bootloader runs.
    void DataWritten(unsigned address, std::uint16_t value);
    // The command word is about to be read while the bootloader runs.
    void CommandPolled();

private:
    struct Pending {
        std::uint16_t command;
        unsigned busyPollsLeft;
    };
    std::uint16_t Erase();
    std::uint16_t ProgramPage();

    const Faults& faults_;
    ProtocolLog& log_;
    FlashArray& flash_;
    WordMemory& data_;
    std::optional<Pending> pending_;
};

}  // namespace tarnel::sim
