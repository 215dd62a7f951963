#include "program/ProgressText.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "report/Reportlst.h"

namespace tarnel {
namespace {

std::string Format(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

int Percent(std::int64_t done, std::int64_t total) {
    return total > 0 ? static_cast<int>(std::clamp<std::int64_t>(done * 100 / total, 0, 100)) : 0;
}

}  // namespace

const char* StageStatusText(ProgramStage stage) {
    switch (stage) {
        case ProgramStage::PreparingBootloader:
            return "Preparing bootloader...";
        case ProgramStage::Erasing:
            return "Erasing device...";
        case ProgramStage::Flashing:
            break;
    }
    return "Flashing...";
}

const char* StageName(ProgramStage stage) {
    switch (stage) {
        case ProgramStage::PreparingBootloader:
            return "bootloader";
        case ProgramStage::Erasing:
            return "erase";
        case ProgramStage::Flashing:
            break;
    }
    return "flash";
}

std::string DoneText(double seconds) {
    return Format("Done in %.2f seconds.", seconds);
}

std::string FailureStatusText(const Failure& failure) {
    return MessageEntry(failure.key).text;
}

void PercentSteps::Restart(int maximum) {
    maximum_ = maximum;
    percent_ = -1;
}

bool PercentSteps::Moves(int position) {
    const int percent = maximum_ > 0 ? Percent(position, maximum_) : 100;
    if (percent == percent_ && position != maximum_) {
        return false;
    }
    percent_ = percent;
    return true;
}

std::int64_t WordsDone(const StageStanding& standing) {
    return standing.stage == ProgramStage::Flashing ? standing.done * kPageWords : standing.done;
}

std::string GroupedNumber(std::int64_t count) {
    std::string digits = std::to_string(count < 0 ? -count : count);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), 1, ',');
    }
    return count < 0 ? "-" + digits : digits;
}

std::string DurationText(double seconds) {
    if (!(seconds >= 0)) {
        seconds = 0;
    }
    if (seconds < 59.95) {
        return Format("%.1f s", seconds);
    }
    const auto whole = static_cast<long long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lld m %02lld s", whole / 60, whole % 60);
    return text;
}

std::string ProgressBar(std::int64_t done, std::int64_t total, int width) {
    const int inside = std::max(width, 3) - 2;
    const auto filled = static_cast<int>(
        total > 0 ? std::clamp<std::int64_t>(done * inside / total, 0, inside) : 0);
    std::string bar = "[" + std::string(static_cast<std::size_t>(filled), '=');
    if (filled < inside) {
        bar += filled > 0 ? ">" : " ";
        bar += std::string(static_cast<std::size_t>(inside - filled - 1), ' ');
    }
    return bar + "]";
}

std::string ProgressLine(const StageStanding& standing, int columns) {
    const bool counted = standing.total > 0;
    const bool pages = standing.stage == ProgramStage::Flashing;

    std::string head = StageName(standing.stage);
    head.resize(kStageNameWidth, ' ');
    const std::string percent =
        counted ? Format("%3.0f%%", Percent(standing.done, standing.total)) : std::string();
    // The optional fields, most wanted first: a narrow line loses them from the end.
    std::vector<std::string> fields;
    if (counted) {
        fields.push_back(GroupedNumber(standing.done) + "/" + GroupedNumber(standing.total) +
                         (pages ? " pages" : " words"));
        if (standing.seconds > 0 && standing.done > 0) {
            fields.push_back(
                GroupedNumber(static_cast<std::int64_t>(WordsDone(standing) / standing.seconds)) +
                " words/s");
        }
    }
    const std::string elapsed = DurationText(standing.seconds);
    std::string left;
    if (pages && counted && standing.done > 0 && standing.done < standing.total) {
        const double each = standing.seconds / static_cast<double>(standing.done);
        left = DurationText(each * static_cast<double>(standing.total - standing.done)) + " left";
    }

    const auto compose = [&](int barWidth, std::size_t fieldCount, bool withLeft) {
        std::string line = head;
        if (counted && barWidth > 0) {
            line += " " + ProgressBar(standing.done, standing.total, barWidth);
        }
        if (!percent.empty()) {
            line += " " + percent;
        }
        for (std::size_t i = 0; i < fieldCount; ++i) {
            line += "  " + fields[i];
        }
        line += "  " + elapsed;
        if (withLeft && !left.empty()) {
            line += "  " + left;
        }
        return line;
    };
    const auto usable = static_cast<std::size_t>(std::max(columns - 1, 1));
    constexpr int kBarMost = 30;
    constexpr int kBarLeast = 10;
    // The whole line with the widest bar that fits; then without the bar, the estimate
    // and the fields one by one.
    const std::size_t rest = compose(0, fields.size(), true).size();
    if (counted && rest + 1 + kBarLeast <= usable) {
        const auto width = static_cast<int>(std::min<std::size_t>(usable - rest - 1, kBarMost));
        return compose(width, fields.size(), true);
    }
    // Without the bar: the rate goes, then the estimate, then the count.
    const std::size_t counts = std::min<std::size_t>(fields.size(), 1);
    for (const auto& [fieldCount, withLeft] :
         {std::pair{fields.size(), true}, std::pair{counts, true}, std::pair{counts, false}}) {
        if (const std::string line = compose(0, fieldCount, withLeft); line.size() <= usable) {
            return line;
        }
    }
    const std::string line = compose(0, 0, false);
    return line.size() > usable ? line.substr(0, usable) : line;
}

std::string ProgrammedSummary(std::int64_t pages, const std::string& serial,
                              const std::string& port, double seconds) {
    std::string text = "programmed " + GroupedNumber(pages) +
                       (pages == 1 ? " page (" : " pages (") + GroupedNumber(pages * kPageWords) +
                       " words)";
    if (!serial.empty() || !port.empty()) {
        text += " through adapter " + (serial.empty() ? std::string("-") : serial);
        if (!port.empty()) {
            text += " at " + port;
        }
    }
    return text + " in " + DurationText(seconds);
}

}  // namespace tarnel
