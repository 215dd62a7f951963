#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/Application.h"
#include "support/Portable.h"

namespace tarnel {
namespace {

// Sets or clears one environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            test::SetEnvironment(name, value);
        } else {
            test::UnsetEnvironment(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            test::SetEnvironment(name_, *old_);
        } else {
            test::UnsetEnvironment(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

struct FallbackCase {
    const char* name;
    std::vector<std::string> arguments;
    const char* platform;  // QT_QPA_PLATFORM, null: unset
    const char* display;   // DISPLAY, null: unset
    bool offscreen;
};

TEST(HeadlessFallback, OnlyUnattendedRunsWithoutAReachableDisplayGoOffscreen) {
    const FallbackCase cases[] = {
        {"unattended, no display", {"-cc", "-p", "a.rom"}, nullptr, nullptr, true},
        {"unattended with -c", {"-p", "-c"}, nullptr, nullptr, true},
        {"display that answers nowhere", {"-p", "-cc"}, nullptr, ":987", true},
        {"empty display", {"-p", "-cc"}, nullptr, "", true},
        {"caller chose the platform", {"-cc", "-p"}, "xcb", nullptr, false},
        {"remote display is left to Qt", {"-cc", "-p"}, nullptr, "buildhost:0", false},
        {"no -p", {"-cc", "a.rom"}, nullptr, nullptr, false},
        {"no -c", {"-p", "a.rom"}, nullptr, nullptr, false},
        {"option in upper case", {"-P", "-cc"}, nullptr, nullptr, false},
    };
    ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv platform("QT_QPA_PLATFORM", c.platform);
        ScopedEnv display("DISPLAY", c.display);
#ifdef _WIN32
        // A Windows session always has a display: the tool never chooses for Qt there.
        EXPECT_FALSE(ShouldChooseOffscreen(ParseCommandLine(c.arguments)));
#else
        EXPECT_EQ(ShouldChooseOffscreen(ParseCommandLine(c.arguments)), c.offscreen);
#endif
    }
}

}  // namespace
}  // namespace tarnel
