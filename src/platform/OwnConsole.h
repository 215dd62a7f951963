#pragma once
// The console of a window program on Windows.

namespace tarnel {

// Windows: lets go of a console window that the system opened only for this process (a
// start from Explorer), so that a person sees the window alone; a console shared with a
// command prompt or a script stays, with its output and control events. Elsewhere nothing.
void ReleaseOwnConsole();

}  // namespace tarnel
