#pragma once
// The stop-and-reset sequence that Reset, the bootloader preparation and the restart after
// programming share: halt, [clear register 0xFF42,] the reset-control pulse, reset.

namespace tarnel {

// Sends the sequence; only the result of the final reset execute is returned (0 or 1):
// a failed link shows there, so the earlier steps are not examined.
int SendResetSequence(bool clearRegisterFF42);

}  // namespace tarnel
