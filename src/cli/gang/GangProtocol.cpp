#include "cli/gang/GangProtocol.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>

#include "program/ProgressText.h"
#include "report/EventLog.h"
#include "report/Reportlst.h"

namespace tarnel::cli {
namespace {

std::optional<int> Number(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Reads a quoted value at the start of `text` (QuoteLogText's escapes) into `value`, and
// returns what follows it; nothing when the quoting is broken.
std::optional<std::string_view> Unquote(std::string_view text, std::string& value) {
    std::size_t i = 1;  // after the opening quote
    while (i < text.size() && text[i] != '"') {
        if (text[i] != '\\') {
            value += text[i++];
        } else if (i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
            value += text[i + 1];
            i += 2;
        } else if (i + 3 < text.size() && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0 &&
                   HexDigit(text[i + 3]) >= 0) {
            value += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 4;
        } else {
            return std::nullopt;
        }
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    return text.substr(i + 1);
}

bool KnownEvent(std::string_view event) {
    return event == "stage" || event == "progress" || event == "failed" || event == "end";
}

}  // namespace

bool IsGangChild() {
    const char* value = std::getenv(kGangChildVariable);
    return value != nullptr && *value != '\0';
}

void GangChildReporter::StageBegins(ProgramStage stage) {
    stage_ = stage;
    percent_ = -1;
    Write("stage", std::string("name=") + StageName(stage));
}

void GangChildReporter::ProgressRange(int maximum) {
    maximum_ = maximum;
    percent_ = -1;
}

void GangChildReporter::ProgressAt(int position) {
    const int percent =
        maximum_ > 0 ? static_cast<int>(std::int64_t{position} * 100 / maximum_) : 100;
    // The flash stage tells the position after each acknowledged page: every page is told,
    // so that a stopped board's record names each page it holds. An upload makes thousands
    // of steps: there a line goes out only when the percentage moves.
    const bool page = stage_ == ProgramStage::Flashing;
    if (page) {
        pages_ = position + 1;
    }
    if (page || percent != percent_) {
        percent_ = percent;
        Write("progress",
              "percent=" + std::to_string(percent) + " pages=" + std::to_string(pages_));
    }
}

void GangChildReporter::Programmed(double) {}

void GangChildReporter::Failed(const Failure& failure) {
    const ReportEntry& entry = MessageEntry(failure.key);
    Write("failed", std::string("key=") + entry.key + " text=" + QuoteLogText(entry.text) +
                        " detail=" + QuoteLogText(failure.detail));
}

void GangChildReporter::FailedBeforeRequest(std::string_view text, std::string_view detail) {
    Write("failed", "key=- text=" + QuoteLogText(text) + " detail=" + QuoteLogText(detail));
}

void GangChildReporter::End(BoardOutcome outcome, int exitCode) {
    Write("end", std::string("outcome=") + OutcomeName(outcome) +
                     " exit=" + std::to_string(exitCode) + " pages=" + std::to_string(pages_));
}

void GangChildReporter::Write(std::string_view event, const std::string& fields) {
    std::string line(event);
    line += ' ';
    line += fields;
    line += '\n';
    // One write per line: the parent never sees half a line followed by a report.
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);
}

std::optional<GangLine> ParseGangLine(std::string_view line) {
    GangLine parsed;
    const std::size_t space = line.find(' ');
    parsed.event = std::string(line.substr(0, space));
    if (!KnownEvent(parsed.event)) {
        return std::nullopt;
    }
    std::string_view rest = space == std::string_view::npos ? "" : line.substr(space + 1);
    while (!rest.empty()) {
        const std::size_t equals = rest.find('=');
        if (equals == 0 || equals == std::string_view::npos) {
            return std::nullopt;
        }
        std::string key(rest.substr(0, equals));
        rest.remove_prefix(equals + 1);
        std::string value;
        if (!rest.empty() && rest.front() == '"') {
            const auto after = Unquote(rest, value);
            if (!after) {
                return std::nullopt;
            }
            rest = *after;
        } else {
            const std::size_t end = rest.find(' ');
            value = std::string(rest.substr(0, end));
            rest = end == std::string_view::npos ? "" : rest.substr(end);
        }
        if (!rest.empty() && rest.front() != ' ') {
            return std::nullopt;
        }
        if (!rest.empty()) {
            rest.remove_prefix(1);
        }
        parsed.fields.insert_or_assign(std::move(key), std::move(value));
    }
    return parsed;
}

void ApplyChildLine(BoardState& board, std::string_view line) {
    const std::optional<GangLine> parsed = ParseGangLine(line);
    if (!parsed) {
        if (!line.empty()) {
            board.lastOtherLine = std::string(line);
        }
        return;
    }
    const auto field = [&](std::string_view key) -> std::string {
        const auto it = parsed->fields.find(key);
        return it == parsed->fields.end() ? std::string() : it->second;
    };
    const auto number = [&](std::string_view key, int& into) {
        if (const auto value = Number(field(key))) {
            into = *value;
        }
    };
    if (parsed->event == "stage") {
        board.stage = field("name");
        board.percent = 0;
    } else if (parsed->event == "progress") {
        number("percent", board.percent);
        number("pages", board.pages);
    } else if (parsed->event == "failed") {
        board.message = field("text");
        board.detail = field("detail");
    } else {  // end
        number("pages", board.pages);
        const std::string outcome = field("outcome");
        board.outcome = outcome == "success"       ? BoardOutcome::Success
                        : outcome == "interrupted" ? BoardOutcome::Interrupted
                                                   : BoardOutcome::Failure;
    }
}

}  // namespace tarnel::cli
