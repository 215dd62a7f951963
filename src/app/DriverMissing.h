#pragma once
// The box that tells a person who started tarnel.exe from Explorer (with no console to
// read a line on) that the adapter's driver library is missing.

#include <string>

namespace tarnel {

// Shows a modal box naming the library, the system's reason (`reason`, one line from the
// driver choice), where it was looked for and where it comes from; returns when it is
// closed. Creates the application object for the box and destroys it again.
void ShowDriverMissingBox(int argc, char** argv, const std::string& reason);

}  // namespace tarnel
