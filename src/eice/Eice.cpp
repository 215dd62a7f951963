// The debug command channel over the adapter link.

#include "eice/Eice.h"

#include <string>

#include "link/AdapterLink.h"
#include "link/Attach.h"

namespace tarnel {
namespace {
constexpr int kNibblesPerWord = 8;

int Failed(LinkStatus status) {
    return status == kLinkOk ? 0 : 1;
}

// Under autoFlush every transaction that does not read goes out at once.
int FlushIfAuto() {
    return LinkAutoFlush() != 0 ? Failed(FlushLink()) : 0;
}
}  // namespace

int EiceAttach() {
    return AttachAdapter();
}

std::string EiceAttachFault() {
    const FT_STATUS status = LinkLastStatus();
    return status != FT_OK ? "driver status " + std::to_string(status) : std::string();
}

int EiceDetach() {
    return DetachAdapter();
}

EiceBatch::EiceBatch(bool batched) : saved_(LinkAutoFlush()) {
    SetLinkAutoFlush(batched ? 0 : 1);
}

EiceBatch::~EiceBatch() {
    SetLinkAutoFlush(saved_);
}

int EiceSendWord(std::uint32_t word) {
    if (PutByte(kWordMarker) != kLinkOk) {
        return 1;
    }
    for (int n = kNibblesPerWord - 1; n >= 0; --n) {
        const unsigned nibble = (word >> (4 * n)) & 0x0Fu;
        if (PutByte(kNibbleHigh | NibbleReverse[nibble]) != kLinkOk) {
            return 1;
        }
    }
    return 0;
}

int EiceSendTerminator() {
    return Failed(PutBytes(TransactionTerminator, sizeof TransactionTerminator));
}

int EiceReceiveWord(std::uint32_t& answer) {
    if (PutByte(kWordMarker) != kLinkOk) {
        return 1;
    }
    for (int n = 0; n < kNibblesPerWord; ++n) {
        if (PutByte(kAnswerNibbleRequest) != kLinkOk) {
            return 1;
        }
    }
    std::uint8_t bytes[kNibblesPerWord] = {};
    if (ReadBytes(bytes, kNibblesPerWord) != kLinkOk) {
        // Bring the adapter back to a known state; the read fails whatever they return.
        RecoverAdapter();
        SendLineIdle();
        return 1;
    }
    std::uint32_t word = 0;
    for (int j = 0; j < kNibblesPerWord; ++j) {
        word |= std::uint32_t{NibbleReverse[bytes[j] & 0x0F]} << (4 * (kNibblesPerWord - 1 - j));
    }
    answer = word;
    return 0;
}

int EiceWrite(CommandWord command, std::uint32_t value) {
    if (EiceSendWord(value) != 0 || EiceSendWord(command & ~kReadFlag) != 0 ||
        EiceSendTerminator() != 0) {
        return 1;
    }
    return FlushIfAuto();
}

int EiceExecute(CommandWord command) {
    if (EiceSendWord(command) != 0 || EiceSendTerminator() != 0) {
        return 1;
    }
    return FlushIfAuto();
}

int EiceRead(CommandWord command, std::uint32_t& answer) {
    if (EiceSendWord(command) != 0 || EiceSendTerminator() != 0) {
        return 1;
    }
    return EiceReceiveWord(answer);
}

int EiceFlush() {
    return Failed(FlushLink());
}

}  // namespace tarnel
