#include "program/Mailbox.h"

#include <algorithm>

#include "eice/Eice.h"
#include "program/StopRequest.h"

namespace tarnel {

int MailboxCommand(std::uint16_t command, std::uint32_t& answer, std::uint32_t polls,
                   bool stopBetweenPolls) {
    if (EiceWrite(CmdDataWord | kMailboxCommandAddress, command) != 0) {
        return 1;
    }
    for (std::uint32_t poll = 0; poll < polls; ++poll) {
        if (EiceRead(CmdDataWord | kMailboxCommandAddress, answer) != 0) {
            return 1;
        }
        if ((answer & kMailboxBusy) == 0) {
            return 0;
        }
        if (stopBetweenPolls && StopRequested()) {
            return kMailboxStopped;
        }
    }
    return 0;
}

std::vector<int> NonBlankPages(FlashImage image) {
    std::vector<int> pages;
    for (int page = 0; page < kFlashPages; ++page) {
        const auto words = image.subspan(static_cast<std::size_t>(page) * kPageWords, kPageWords);
        if (std::ranges::any_of(words, [](std::uint16_t word) { return word != 0xFFFF; })) {
            pages.push_back(page);
        }
    }
    return pages;
}

int SendPage(FlashImage image, int page) {
    const auto words = image.subspan(static_cast<std::size_t>(page) * kPageWords, kPageWords);
    if (EiceWrite(CmdDataWord | kMailboxPageAddress, static_cast<std::uint32_t>(page)) != 0 ||
        EiceWrite(CmdDataWord | kMailboxBufferAddress, words[0]) != 0) {
        return 1;
    }
    // Words 1..254 go in pairs: the lower page index in the high half, to the addressed
    // data word; the next word in the low half, to the data word after it.
    for (std::size_t j = 1; j <= 253; j += 2) {
        const std::uint32_t pair = (std::uint32_t{words[j]} << 16) | words[j + 1];
        if (EiceWrite(CmdDataPair | (kMailboxBufferAddress + static_cast<std::uint32_t>(j)),
                      pair) != 0) {
            return 1;
        }
    }
    return EiceWrite(CmdDataWord | (kMailboxBufferAddress + 255), words[255]);
}

}  // namespace tarnel
