#include "sim/Bootloader.h"

#include <array>

#include "sim/Hex.h"

namespace tarnel::sim {

Bootloader::Bootloader(const Faults& faults, ProtocolLog& log, FlashArray& flash, WordMemory& data)
    : faults_(faults), log_(log), flash_(flash), data_(data) {}

void Bootloader::DataWritten(unsigned address, std::uint16_t value) {
    if (address < kMailboxCommand || address >= kMailboxEnd) {
        return;
    }
    if (pending_) {
        log_.Report("mailbox word " + Hex16(address) + " written while the bootloader is busy");
        return;
    }
    if (address != kMailboxCommand) {
        return;
    }
    if (value == kMailboxErase || value == kMailboxProgram) {
        pending_ = Pending{value, faults_.busyPolls};
    } else {
        log_.Report("unknown mailbox command " + Hex16(value) + " (never answered)");
    }
}

void Bootloader::CommandPolled() {
    if (!pending_) {
        return;
    }
    if (pending_->command == kMailboxErase && faults_.eraseBusy) {
        return;
    }
    if (pending_->busyPollsLeft > 0) {
        --pending_->busyPollsLeft;
        return;
    }
    const std::uint16_t answer = pending_->command == kMailboxErase ? Erase() : ProgramPage();
    pending_.reset();
    data_[kMailboxCommand] = answer;
}

std::uint16_t Bootloader::Erase() {
    if (faults_.eraseError) {
        return kAnswerFailed;
    }
    flash_.Erase();
    return kAnswerDone;
}

std::uint16_t Bootloader::ProgramPage() {
    const unsigned page = data_[kMailboxPage];
    if (page >= kFlashPages) {
        log_.Report("page program command for page " + std::to_string(page) +
                    ", outside the flash's 128 pages");
        return kAnswerFailed;
    }
    if (faults_.pageError == page) {
        return kAnswerFailed;
    }
    std::array<std::uint16_t, kPageWords> words{};
    for (unsigned j = 0; j < kPageWords; ++j) {
        words[j] = data_[kMailboxBuffer + j];
    }
    return flash_.ProgramPage(page, words) ? kAnswerDone : kAnswerFailed;
}

}  // namespace tarnel::sim
