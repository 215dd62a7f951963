#pragma once
// The user's own connection to the target: attach, detach, run, stop and reset. Each
// operation reports its failure through ReportError; the caller only shows the state.
// A stop request (StopRequest.h) is honoured before each transfer of attach, run, stop
// and reset: nothing more is sent, "ErrCommandInterrupted" is reported with the stop's
// exit code, the adapter is detached, and the operation returns false. Detach is never
// stopped.

#include <string>

namespace tarnel {

// The detail of "ErrDravin" after a failed attach: the adapter asked for and those that
// are connected, or the driver's reason (AdapterFailureDetail), the failed driver status
// if any, and where to look.
std::string AdapterNotFoundDetail();

// Attaches and sets up the debug port. False when it failed: "ErrDravin" (no adapter) or
// "ErrEICEcom" (the set-up failed, and the adapter was detached again) was reported, and
// nothing is held.
bool AttachTarget();

// Detaches, whatever each step returns: the target is detached for the user either way.
void DetachTarget();

// Set-up, then run or halt. False when a transfer failed: "ErrEICEcom" was reported (its
// detail names the action) and the adapter detached.
bool RunTarget();
bool StopTarget();

// Set-up, a status read, the stop-and-reset sequence, and a run command when the target
// was running before. Only the final reset execute and the run command are examined: a
// failed link shows there. False as for RunTarget.
bool ResetTarget();

}  // namespace tarnel
