#include "sim/TransactionAssembler.h"

#include <string>

#include "sim/Hex.h"

namespace tarnel::sim {

void TransactionAssembler::Interrupt(std::string_view cause) {
    if (readCommand_) {
        log_.Report("read of " + Hex32(*readCommand_) + " not followed by an answer request but " +
                    std::string(cause));
    } else if (!words_.empty()) {
        log_.Report("transaction of " + std::to_string(words_.size()) +
                    " word(s) without its terminator, cut short by " + std::string(cause));
    }
    words_.clear();
    readCommand_.reset();
    discarding_ = false;
}

void TransactionAssembler::Take(const Unit& unit) {
    switch (unit.kind) {
        case Unit::Kind::Word:
            if (readCommand_) {
                Interrupt("a word");
            }
            if (discarding_) {
                return;
            }
            if (words_.size() == 2) {
                log_.Report("third word " + Hex32(unit.word) +
                            " before the terminator; the transaction is dropped");
                words_.clear();
                discarding_ = true;
                return;
            }
            words_.push_back(unit.word);
            return;
        case Unit::Kind::Terminator:
            if (discarding_) {
                discarding_ = false;
                return;
            }
            if (readCommand_) {
                Interrupt("a terminator");
                return;
            }
            Terminate();
            return;
        case Unit::Kind::AnswerRequest:
            if (discarding_) {
                return;
            }
            Answer();
            return;
        default:
            Interrupt(std::string(UnitName(unit.kind)));
            return;
    }
}

void TransactionAssembler::Terminate() {
    if (words_.empty()) {
        log_.Report("terminator without a word");
        return;
    }
    // Copied out rather than moved, so that words_ keeps its storage for the next one.
    const bool write = words_.size() == 2;
    const std::uint32_t first = words_[0];
    const std::uint32_t command = write ? words_[1] : first;
    words_.clear();
    if (write) {
        if ((command & kReadFlag) != 0) {
            log_.Report("write of " + Hex32(first) + " with command " + Hex32(command) +
                        ": the read flag must be clear in a write");
            return;
        }
        target_.Write(command, first);
    } else if ((command & kReadFlag) != 0) {
        readCommand_ = command;
    } else {
        target_.Execute(command);
    }
}

void TransactionAssembler::Answer() {
    if (!words_.empty()) {
        Interrupt("an answer request");
        return;
    }
    if (!readCommand_) {
        log_.Report("answer request without a read");
        return;
    }
    const std::uint32_t command = *readCommand_;
    readCommand_.reset();
    const auto answer = target_.Read(command);
    if (!answer) {
        return;
    }
    for (int shift = 28; shift >= 0; shift -= 4) {
        answers_.push_back(
            static_cast<std::uint8_t>(0x30 | ReverseNibble((*answer >> shift) & 0xF)));
    }
}

}  // namespace tarnel::sim
