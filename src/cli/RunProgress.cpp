#include "cli/RunProgress.h"

#include <chrono>
#include <cstdint>
#include <utility>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "platform/AdapterSelection.h"

namespace tarnel::cli {
namespace {

constexpr int kDefaultColumns = 80;
// A line that is given as a log, not to a terminal, is never cut.
constexpr int kLogColumns = 200;
constexpr auto kRedrawPeriod = std::chrono::milliseconds(100);

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return ::_isatty(::_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) != 0;
#endif
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(ClockNow() - start).count();
}

}  // namespace

int TerminalColumns(std::FILE* out) {
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const HANDLE console = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(out)));
    if (::GetConsoleScreenBufferInfo(console, &info) != 0) {
        return info.srWindow.Right - info.srWindow.Left + 1;
    }
#else
    winsize size{};
    if (::ioctl(::fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
#endif
    return kDefaultColumns;
}

RunProgress::RunProgress(std::FILE* out, std::string program, Verbosity verbosity,
                         std::string driver)
    : out_(out),
      program_(std::move(program)),
      verbosity_(verbosity),
      driver_(std::move(driver)),
      terminal_(IsTerminal(out)) {}

void RunProgress::BootloaderRead(const std::string& path) {
    if (verbosity_ == Verbosity::Verbose) {
        Say("bootloader file " + path);
    }
}

void RunProgress::StageBegins(ProgramStage stage) {
    EndStage();
    if (!adapterSaid_ && verbosity_ == Verbosity::Verbose) {
        adapterSaid_ = true;
        // The adapter is open from the first stage on.
        const std::optional<AdapterIdentity> adapter = OpenedAdapter();
        Say("adapter " + (adapter ? adapter->serial + " at " + adapter->port : "?") + ", driver " +
            driver_);
    }
    standing_ = StageStanding{.stage = stage};
    stageStart_ = ClockNow();
    inStage_ = true;
    Draw();
}

void RunProgress::ProgressRange(int maximum) {
    standing_.total = std::int64_t{maximum} + 1;
    standing_.done = 0;
}

void RunProgress::ProgressAt(int position) {
    // Words are told before they are written, pages after they are programmed.
    standing_.done = standing_.stage == ProgramStage::Flashing ? std::int64_t{position} + 1
                                                               : std::int64_t{position};
    if (standing_.stage == ProgramStage::Flashing) {
        pagesProgrammed_ = standing_.done;
    }
    if (terminal_ && ClockNow() - lastDraw_ >= kRedrawPeriod) {
        Draw();
    }
}

void RunProgress::Programmed(double seconds) {
    if (standing_.stage == ProgramStage::Flashing && pagesProgrammed_ == 0) {
        standing_.total = 0;  // a blank image: no page to count
    }
    EndStage();
    if (verbosity_ == Verbosity::Quiet) {
        return;
    }
    // Still attached: the request detaches after this.
    const std::optional<AdapterIdentity> adapter = OpenedAdapter();
    Say(ProgrammedSummary(pagesProgrammed_, adapter ? adapter->serial : "",
                          adapter ? adapter->port : "", seconds));
}

void RunProgress::Failed(const Failure&) {
    // The stage's line stays as it stood; the failure follows on a line of its own.
    EndLine();
    inStage_ = false;
}

void RunProgress::EndStage() {
    if (!inStage_) {
        return;
    }
    inStage_ = false;
    if (standing_.stage == ProgramStage::PreparingBootloader && standing_.total > 0) {
        standing_.done = standing_.total;  // the last word was written after it was told
    }
    if (terminal_ && verbosity_ != Verbosity::Quiet) {
        Draw();
        EndLine();
    } else if (verbosity_ == Verbosity::Verbose) {
        standing_.seconds = SecondsSince(stageStart_);
        Say(ProgressLine(standing_, kLogColumns));
    }
}

void RunProgress::Draw() {
    if (!terminal_ || verbosity_ == Verbosity::Quiet) {
        return;
    }
    lastDraw_ = ClockNow();
    standing_.seconds = SecondsSince(stageStart_);
    const std::string line = ProgressLine(standing_, TerminalColumns(out_));
    // Blanks cover what a longer line before left; the cursor then stands after the text.
    const std::size_t blanks = drawnLength_ > line.size() ? drawnLength_ - line.size() : 0;
    std::fprintf(out_, "\r%s%*s", line.c_str(), static_cast<int>(blanks), "");
    if (blanks > 0) {
        std::fprintf(out_, "\r%s", line.c_str());
    }
    std::fflush(out_);
    drawnLength_ = line.size();
    lineOpen_ = true;
}

void RunProgress::EndLine() {
    if (lineOpen_) {
        std::fputc('\n', out_);
        std::fflush(out_);
        lineOpen_ = false;
    }
    drawnLength_ = 0;
}

void RunProgress::Say(const std::string& text) {
    EndLine();
    std::fprintf(out_, "%s: %s\n", program_.c_str(), text.c_str());
    std::fflush(out_);
}

}  // namespace tarnel::cli
