#pragma once
// The stop-and-reset sequence that Reset, the bootloader preparation and the restart after
// programming share: halt, [clear register 0xFF42,] the reset-control pulse, reset.

namespace tarnel {

struct ResetSequenceResult {
    bool allSent;    // every transfer of the sequence left whole
    bool resetSent;  // the final reset execute left whole
};

// Sends the whole sequence, each step whatever the earlier ones returned. A cut halt or
// pulse leaves the link open, so only allSent tells that the target saw the sequence as
// sent; resetSent alone tells whether the link still carries commands.
ResetSequenceResult SendResetSequence(bool clearRegisterFF42);

}  // namespace tarnel
