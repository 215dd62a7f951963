#include "report/EventLog.h"

#include <fcntl.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <utility>

namespace tarnel {
namespace {

constexpr char kLogVariable[] = "TARNEL_LOG";

#ifdef _WIN32
// Binary, so that lines end in LF as on Linux, and not inherited by child processes.
constexpr int kLogFlags = O_WRONLY | O_APPEND | O_CREAT | O_BINARY | O_NOINHERIT;
#else
constexpr int kLogFlags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC;
#endif

// Appends `line` to the log in one write; a log that cannot be opened or written is
// passed over: logging never changes the outcome of a run.
std::optional<std::string>& LogPathGiven() {
    static std::optional<std::string> path;
    return path;
}

void Append(const std::string& line) {
    const std::optional<std::string>& given = LogPathGiven();
    const char* target = given ? given->c_str() : std::getenv(kLogVariable);
    if (target == nullptr || *target == '\0') {
        return;
    }
    const bool toStandardError = std::string_view(target) == "-";
    const int fd = toStandardError ? STDERR_FILENO : ::open(target, kLogFlags, 0644);
    if (fd < 0) {
        return;
    }
    [[maybe_unused]] const auto written =
        ::write(fd, line.data(), static_cast<unsigned>(line.size()));
    if (!toStandardError) {
        ::close(fd);
    }
}

}  // namespace

void SetEventLogPath(std::string path) {
    LogPathGiven() = std::move(path);
}

std::string QuoteLogText(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    quoted += '"';
    return quoted;
}

std::string UtcTimeStamp(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()) % 1000;
    std::tm utc{};
#ifdef _WIN32
    ::gmtime_s(&utc, &seconds);
#else
    ::gmtime_r(&seconds, &utc);
#endif
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(millis.count()));
    return text;
}

std::string FormatLogLine(std::string_view event, std::string_view fields) {
    std::string line = UtcTimeStamp(std::chrono::system_clock::now());
    line += " pid=" + std::to_string(::getpid()) + " ";
    line += event;
    if (!fields.empty()) {
        line += ' ';
        line += fields;
    }
    line += '\n';
    return line;
}

void LogProgramStart(std::string_view image, int pages, int wordsBeyond) {
    const auto count = [](int n) { return n < 0 ? std::string("-") : std::to_string(n); };
    Append(FormatLogLine("start", "image=" + QuoteLogText(image) + " pages=" + count(pages) +
                                      " beyond=" + count(wordsBeyond)));
}

void LogReportedMessage(const ReportEntry& entry, std::string_view detail) {
    Append(FormatLogLine(
        "message", std::string("key=") + entry.key + " text=" + QuoteLogText(entry.text) +
                       " caption=" + QuoteLogText(entry.caption) +
                       " exit=" + std::to_string(entry.code) + " detail=" + QuoteLogText(detail)));
}

void LogProgramEnd(RequestOutcome outcome, double seconds, int exitCode,
                   std::string_view flashState) {
    const char* name = outcome == RequestOutcome::Succeeded ? "success"
                       : outcome == RequestOutcome::Failed  ? "failure"
                                                            : "interrupted";
    char fields[96];
    std::snprintf(fields, sizeof fields, "outcome=%s seconds=%.3f exit=%d", name, seconds,
                  exitCode);
    std::string line = fields;
    if (outcome == RequestOutcome::Interrupted) {
        line += " flash=";
        line += flashState;
    }
    Append(FormatLogLine("end", line));
}

}  // namespace tarnel
