#include "cli/TerminalProgress.h"

#include <cstdint>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tarnel::cli {
namespace {

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return ::_isatty(::_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) != 0;
#endif
}

}  // namespace

TerminalProgress::TerminalProgress(std::FILE* out) : out_(IsTerminal(out) ? out : nullptr) {}

void TerminalProgress::StageBegins(ProgramStage stage) {
    // The window's status texts, so that both tools name a stage alike.
    switch (stage) {
        case ProgramStage::PreparingBootloader:
            stage_ = "Preparing bootloader...";
            break;
        case ProgramStage::Erasing:
            stage_ = "Erasing device...";
            break;
        case ProgramStage::Flashing:
            stage_ = "Flashing...";
            break;
    }
    percent_ = -1;
    Show();
}

void TerminalProgress::ProgressRange(int maximum) {
    maximum_ = maximum;
    percent_ = -1;
}

void TerminalProgress::ProgressAt(int position) {
    // An upload makes thousands of steps: the line changes only with its percentage.
    const int percent =
        maximum_ > 0 ? static_cast<int>(std::int64_t{position} * 100 / maximum_) : 100;
    if (percent != percent_) {
        percent_ = percent;
        Show();
    }
}

void TerminalProgress::Programmed(double seconds) {
    if (out_ == nullptr) {
        return;
    }
    char text[64];
    std::snprintf(text, sizeof text, "Done in %.2f seconds.", seconds);
    // The stage line is blanked first, so that nothing of it stands after the text.
    std::fprintf(out_, "\r%-32s\r%s\n", "", text);
    std::fflush(out_);
    lineOpen_ = false;
}

void TerminalProgress::Failed(const Failure&) {
    EndLine();
}

void TerminalProgress::EndLine() {
    if (out_ != nullptr && lineOpen_) {
        std::fputc('\n', out_);
        std::fflush(out_);
        lineOpen_ = false;
    }
}

void TerminalProgress::Show() {
    if (out_ == nullptr) {
        return;
    }
    if (percent_ < 0) {
        std::fprintf(out_, "\r%-32s", stage_);
    } else {
        std::fprintf(out_, "\r%-24s %3d%%    ", stage_, percent_);
    }
    std::fflush(out_);
    lineOpen_ = true;
}

}  // namespace tarnel::cli
