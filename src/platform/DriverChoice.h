#pragma once
// The choice of driver backend for the tool on real adapters, from its environment:
//   TARNEL_DRIVER        "d2xx": the D2XX driver library, loaded at run time;
//                        "libftdi" (Linux only): libftdi1 and libusb-1.0.
//                        Unset or empty: libftdi on Linux, d2xx on Windows.
//   TARNEL_D2XX_LIBRARY  the D2XX library to load instead of the system's own
//                        (libftd2xx.so or ftd2xx.dll), by name or path.

#include <string>

namespace tarnel {

inline constexpr char kDriverVariable[] = "TARNEL_DRIVER";
inline constexpr char kD2xxLibraryVariable[] = "TARNEL_D2XX_LIBRARY";

// Installs the backend the environment chooses. Returns an empty string on success, else
// one line saying why nothing could be installed (an unknown driver, or a D2XX library
// that cannot be loaded: its name and the system's reason); no backend is installed then.
// `inUse`, when given, receives what was installed: "libftdi1" or "D2XX library NAME".
std::string InstallBackendFromEnvironment(std::string* inUse = nullptr);

}  // namespace tarnel
