#pragma once
// A user's stop while a gang runs: Ctrl-C, SIGTERM or SIGHUP on Linux, Ctrl-C, Ctrl-Break
// or the console's close on Windows. The parent only notes it; its loop then stops every
// child and ends with 128 + the signal's number.

namespace tarnel::cli {

// Installs the handlers; until then, and while no stop came, StopRequested() is 0.
void WatchForStop();

// The signal that asked for the stop (SIGINT for every console event on Windows), or 0.
int StopRequested();

}  // namespace tarnel::cli
