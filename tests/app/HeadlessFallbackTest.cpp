#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

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

#ifndef _WIN32
// A socket where an X server of display :N listens, for as long as the object lives; N is
// -1 when none could be made.
class ListeningDisplay {
public:
    ListeningDisplay() {
        ::mkdir("/tmp/.X11-unix", 01777);
        for (int n = 700 + static_cast<int>(::getpid() % 200); n < 1000 && number_ < 0; ++n) {
            path_ = "/tmp/.X11-unix/X" + std::to_string(n);
            fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            path_.copy(address.sun_path, path_.size());
            if (fd_ >= 0 &&
                ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                ::listen(fd_, 4) == 0) {
                number_ = n;
            } else if (fd_ >= 0) {
                ::close(fd_);
                fd_ = -1;
            }
        }
    }
    ~ListeningDisplay() {
        if (number_ >= 0) {
            ::close(fd_);
            ::unlink(path_.c_str());
        }
    }
    ListeningDisplay(const ListeningDisplay&) = delete;
    ListeningDisplay& operator=(const ListeningDisplay&) = delete;

    int Number() const { return number_; }

private:
    std::string path_;
    int fd_ = -1;
    int number_ = -1;
};
#endif

struct FallbackCase {
    const char* name;
    std::vector<std::string> arguments;
    const char* platform;  // QT_QPA_PLATFORM, null: unset
    const char* display;   // DISPLAY, null: unset
    bool offscreen;
};

TEST(HeadlessFallback, OnlyUnattendedRunsWithoutAReachableDisplayGoOffscreen) {
#ifndef _WIN32
    const ListeningDisplay live;
    ASSERT_GE(live.Number(), 0) << "no display socket could be made";
    const std::string liveScreen = ":" + std::to_string(live.Number()) + ".0";
#else
    const std::string liveScreen = ":0.0";
#endif
    const FallbackCase cases[] = {
        {"live display with a screen number", {"-p", "-cc"}, nullptr, liveScreen.c_str(), false},
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
