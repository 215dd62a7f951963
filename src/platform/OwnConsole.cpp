#include "platform/OwnConsole.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tarnel {

void ReleaseOwnConsole() {
#ifdef _WIN32
    DWORD processes[2] = {};
    if (GetConsoleProcessList(processes, 2) == 1) {
        FreeConsole();
    }
#endif
}

}  // namespace tarnel
