#pragma once
// The running executable's own file path.

#include <string>

namespace tarnel {

// Full path of the running executable, or an empty string when the system cannot tell.
std::string ExecutablePath();

// The directory part of `path`, ending in its separator ("" when there is none).
std::string DirectoryOf(const std::string& path);

}  // namespace tarnel
