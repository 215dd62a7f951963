#pragma once
// The bootloader's mailbox in target data memory, and the pages of a flash image.

#include <cstdint>
#include <span>
#include <vector>

namespace tarnel {

inline constexpr std::uint16_t kMailboxErase = 0x8003;
inline constexpr std::uint16_t kMailboxProgramPage = 0x8001;
inline constexpr std::uint32_t kMailboxCommandAddress = 0xF1;
inline constexpr std::uint32_t kMailboxPageAddress = 0xF2;
inline constexpr std::uint32_t kMailboxBufferAddress = 0xF3;
inline constexpr std::uint32_t kMailboxBusy = 0x8000;
inline constexpr std::uint32_t kMailboxPolls = 10;

inline constexpr int kFlashPages = 128;
inline constexpr int kPageWords = 256;
inline constexpr std::uint32_t kFlashWords = kFlashPages * kPageWords;
inline constexpr std::uint32_t kBootloaderWords = 2048;

// A whole flash image, indexed by flash word address; 0xFFFF is a blank word.
using FlashImage = std::span<const std::uint16_t, kFlashWords>;

// What MailboxCommand returns besides 0 (answered, or out of polls) and 1 (a transaction
// failed): a stop was requested between two polls, and the command may still be running.
inline constexpr int kMailboxStopped = 2;

// Writes `command` into the mailbox and polls its status word up to `polls` times until
// bit 15 clears. Returns 1 when a transaction failed, kMailboxStopped when
// `stopBetweenPolls` is set and a stop was requested (StopRequested) after a busy poll,
// else 0; `answer` holds the last status read (bit 15 still set when the bootloader did not
// answer in time).
int MailboxCommand(std::uint16_t command, std::uint32_t& answer, std::uint32_t polls,
                   bool stopBetweenPolls = false);

// Numbers of the pages of `image` that hold a word other than 0xFFFF, ascending.
std::vector<int> NonBlankPages(FlashImage image);

// Queues the 130 writes that fill the mailbox with page `page` of `image`. Returns 1 as
// soon as one fails (a transfer of the out buffer failed or was cut short), else 0. A page
// that did not leave whole must not be programmed: the bootloader would write whatever
// the mailbox still held from the page before.
int SendPage(FlashImage image, int page);

}  // namespace tarnel
