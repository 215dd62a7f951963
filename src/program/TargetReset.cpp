#include "program/TargetReset.h"

#include "eice/Eice.h"

namespace tarnel {

int SendResetSequence(bool clearRegisterFF42) {
    EiceExecute(CmdHalt);
    if (clearRegisterFF42) {
        EiceWrite(CmdRegister | 0xFF42, 0);
    }
    EiceWrite(CmdRegister | 0xFF79, 12);
    EiceWrite(CmdRegister | 0xFF79, 0);
    return EiceExecute(CmdReset);
}

}  // namespace tarnel
