#include "program/TargetReset.h"

#include "eice/Eice.h"

namespace tarnel {

ResetSequenceResult SendResetSequence(bool clearRegisterFF42) {
    int failed = EiceExecute(CmdHalt);
    if (clearRegisterFF42) {
        failed |= EiceWrite(CmdRegister | 0xFF42, 0);
    }
    failed |= EiceWrite(CmdRegister | 0xFF79, 12);
    failed |= EiceWrite(CmdRegister | 0xFF79, 0);
    const bool resetSent = EiceExecute(CmdReset) == 0;
    return {.allSent = failed == 0 && resetSent, .resetSent = resetSent};
}

}  // namespace tarnel
