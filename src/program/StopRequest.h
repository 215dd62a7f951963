#pragma once
// A request from outside (a signal, a console event) to stop the device work under way.
// The work honours it at its next safe point: before the erase, between two pages, between
// two polls of the erase, between the transfers of the preparation and of the user's
// attach, run, stop and reset. It then stops sending, detaches and reports that it was
// interrupted.
//
// The request stays for the rest of the process (the process is ending); only tests clear
// it.

namespace tarnel {

// Asks the work to stop; the process should end with `exitStatus` (128 + the signal's
// number). Only the first request's status is kept. Safe in a signal handler and from any
// thread: it only stores into lock-free atomics.
void RequestStop(int exitStatus);

// True once RequestStop was called.
bool StopRequested();

// The exit status of the first request, 0 when none was made.
int StopExitStatus();

// Forgets the request, as at the start of a process.
void ClearStopRequest();

}  // namespace tarnel
