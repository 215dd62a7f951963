#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/BootloaderPlaces.h"

namespace tarnel {
namespace {

#ifndef _WIN32
TEST(BootloaderPlaces, TheChosenFileAloneOrBesideTheToolThenTheUsersThenTheSystems) {
    const struct {
        const char* name;
        std::map<std::string, std::string> environment;
        std::string executable;
        std::vector<std::string> places;
    } cases[] = {
        {"default configuration folder",
         {{"HOME", "/home/ann"}},
         "/usr/lib/tarnel/tarnel",
         {"/usr/lib/tarnel/flash.ram", "/home/ann/.config/tarnel/flash.ram",
          "/etc/tarnel/flash.ram"}},
        {"XDG_CONFIG_HOME wins over HOME",
         {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/cfg/"}},
         "/opt/t/tarnel",
         {"/opt/t/flash.ram", "/cfg/tarnel/flash.ram", "/etc/tarnel/flash.ram"}},
        {"a relative XDG_CONFIG_HOME is ignored",
         {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "cfg"}},
         "/opt/t/tarnel",
         {"/opt/t/flash.ram", "/home/ann/.config/tarnel/flash.ram", "/etc/tarnel/flash.ram"}},
        {"no HOME, no executable path", {}, "", {"/etc/tarnel/flash.ram"}},
        {"TARNEL_BOOTLOADER alone",
         {{"HOME", "/home/ann"}, {"TARNEL_BOOTLOADER", "boot/my.ram"}},
         "/opt/t/tarnel",
         {"boot/my.ram"}},
        {"an empty TARNEL_BOOTLOADER is unset",
         {{"TARNEL_BOOTLOADER", ""}},
         "/opt/t/tarnel",
         {"/opt/t/flash.ram", "/etc/tarnel/flash.ram"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto lookup = [&c](const char* name) -> const char* {
            const auto it = c.environment.find(name);
            return it == c.environment.end() ? nullptr : it->second.c_str();
        };
        EXPECT_EQ(BootloaderPlaces(c.executable, lookup), c.places);
    }
}
#endif

}  // namespace
}  // namespace tarnel
