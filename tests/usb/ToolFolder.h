#pragma once
// A temporary folder that every user may read (the no-permission case runs the tool as
// another user), holding a copy of tarnel with a copy of the stand-in bootloader beside
// it: the stand-in never goes beside build/bin/tarnel.

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace tarnel::test {

// The folder's path; empty when it could not be made.
inline std::filesystem::path MakeToolFolder() {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "tarnel-usb-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    ::chmod(pattern.c_str(), 0755);
    const fs::path dir = pattern;
    fs::copy_file(TARNEL_TOOL, dir / "tarnel");
    fs::copy_file(TARNEL_STAND_IN_BOOTLOADER, dir / "flash.ram");
    return dir;
}

}  // namespace tarnel::test
