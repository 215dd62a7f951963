#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/BootloaderPlaces.h"
#include "support/Portable.h"

namespace tarnel {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

TEST(BootloaderPlaces, TheVariableAloneOrElseExecutableThenUserThenMachine) {
    const fs::path exe = fs::path("exe dir");
    const fs::path user = fs::path(u8"Roaming \u00E9");
    const fs::path machine = fs::path("ProgramData");
    const std::string inExe = Utf8(exe / "flash.ram");
    const std::string inUser = Utf8(user / "tarnel" / "flash.ram");
    const std::string inMachine = Utf8(machine / "tarnel" / "flash.ram");
    struct Case {
        const char* name;
        WindowsBootloaderEnvironment places;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"variable set", {"x.ram", Utf8(exe), Utf8(user), Utf8(machine)}, {"x.ram"}},
        {"all three", {"", Utf8(exe), Utf8(user), Utf8(machine)}, {inExe, inUser, inMachine}},
        {"no APPDATA", {"", Utf8(exe), "", Utf8(machine)}, {inExe, inMachine}},
        {"nothing known", {"", "", "", ""}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WindowsBootloaderCandidates(c.places), c.expected);
    }
}

TEST(BootloaderPlaces, TheFirstExistingFileWinsAndNoneGivesTheFirstPlace) {
    const fs::path dir = test::MakeTemporaryDirectory("tarnel-places-");
    ASSERT_FALSE(dir.empty());
    const std::string missing = Utf8(dir / "missing.ram");
    const std::string folder = Utf8(dir);  // exists, but is no file
    const std::string present = Utf8(dir / u8"b\u00F6ot.ram");
    std::ofstream(dir / u8"b\u00F6ot.ram") << "@000000 0000\n";
    EXPECT_EQ(ChooseBootloader({missing, folder, present}), present);
    EXPECT_EQ(ChooseBootloader({missing, folder}), missing);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tarnel
