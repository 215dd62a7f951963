#pragma once
// The process-wide state of the tool, put back to how a process starts so that no test
// sees what an earlier one left behind: the link record (a device still held is closed
// through the backend that opened it) with autoFlush, the exit code and quiet flag, the
// installed driver backend, the sleep function and a stop request.

namespace tarnel::test {

void ResetProcessGlobals();

// Resets the globals when it is made and again when it goes. Declare it before anything
// that installs a backend or a sleep function (a ScriptedDriverScope, a fixture's own
// set-up), so that it is made before them and destroyed after them.
class ProcessGlobalsScope {
public:
    ProcessGlobalsScope() { ResetProcessGlobals(); }
    ~ProcessGlobalsScope() { ResetProcessGlobals(); }
    ProcessGlobalsScope(const ProcessGlobalsScope&) = delete;
    ProcessGlobalsScope& operator=(const ProcessGlobalsScope&) = delete;
};

}  // namespace tarnel::test
