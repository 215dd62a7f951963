#include "report/EventLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>

#include <filesystem>
#endif

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "report/Report.h"

namespace tarnel {
namespace {

constexpr char kLogVariable[] = "TARNEL_LOG";

#ifdef _WIN32
// Binary, so that lines end in LF as on Linux, and not inherited by child processes.
constexpr int kLogFlags = O_WRONLY | O_APPEND | O_CREAT | O_BINARY | O_NOINHERIT;
#else
// A symbolic link is not followed (a link planted where the log goes must not redirect
// the writes of a privileged run), and a FIFO without a reader does not block the open.
constexpr int kLogFlags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
#endif

// The most a single write to a pipe puts there whole on Linux, so that the lines of
// processes sharing one pipe never interleave. The same on every system, so that a log
// reads alike wherever it was written.
constexpr std::size_t kAtomicWrite = 4096;
#ifdef __linux__
static_assert(PIPE_BUF >= kAtomicWrite);
#endif
// A quoted field is kept to this many bytes: a line holds at most three, with room to spare.
constexpr std::size_t kQuotedLimit = (kAtomicWrite - 256) / 3;

// The path SetEventLogPath gave; nothing: TARNEL_LOG's.
std::optional<std::string>& LogPathGiven() {
    static std::optional<std::string> path;
    return path;
}

// The log asked for: SetEventLogPath's, else TARNEL_LOG's value (null when unset).
const char* LogTarget() {
    const std::optional<std::string>& given = LogPathGiven();
    return given ? given->c_str() : std::getenv(kLogVariable);
}

// The log file named by TARNEL_LOG, or null when no log (or standard error) is asked for.
const char* LogFileName() {
    const char* target = LogTarget();
    if (target == nullptr || *target == '\0' || std::string_view(target) == "-") {
        return nullptr;
    }
    return target;
}

bool ToStandardError() {
    const char* target = LogTarget();
    return target != nullptr && std::string_view(target) == "-";
}

// Opens the log file for one append: a descriptor, or -1 with `why` saying why.
int OpenLog(const char* name, std::string& why) {
#ifdef _WIN32
    std::error_code error;
    const std::u8string utf8(name, name + std::strlen(name));
    if (std::filesystem::is_symlink(std::filesystem::path(utf8), error)) {
        why = "is a symbolic link, which the log does not follow";
        return -1;
    }
    const int fd = ::_wopen(std::filesystem::path(utf8).c_str(), kLogFlags, 0644);
#else
    int fd;
    do {
        fd = ::open(name, kLogFlags, 0644);
    } while (fd < 0 && errno == EINTR);
#endif
    if (fd < 0) {
        why = errno == ELOOP ? "is a symbolic link, which the log does not follow"
                             : std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = S_ISDIR(st.st_mode) ? "is a directory, not a regular file" : "is not a regular file";
        ::close(fd);
        return -1;
    }
    return fd;
}

bool& LogFailureSaid() {
    static bool said = false;
    return said;
}

// Says once per run that the log misses lines from now on.
void SayLogIncomplete(const char* name, const std::string& why) {
    if (!LogFailureSaid()) {
        LogFailureSaid() = true;
        WriteStandardErrorLine("The event log is incomplete",
                               std::string(name != nullptr ? name : "-") + ": " + why);
    }
}

// Appends `line` to the log in one write. A log that cannot be opened or written is said
// once on standard error and otherwise passed over: logging never changes the outcome of
// a run.
void Append(const std::string& line) {
    const char* name = LogFileName();
    const bool toStandardError = ToStandardError();
    if (name == nullptr && !toStandardError) {
        return;
    }
    std::string why;
    const int fd = toStandardError ? STDERR_FILENO : OpenLog(name, why);
    if (fd < 0) {
        SayLogIncomplete(name, why);
        return;
    }
    const auto written = ::write(fd, line.data(), static_cast<unsigned>(line.size()));
    if (written < 0 || static_cast<std::size_t>(written) != line.size()) {
        SayLogIncomplete(name, written < 0 ? std::strerror(errno) : "a line was cut short");
    }
    if (!toStandardError) {
        ::close(fd);
    }
}

// The length of the valid UTF-8 sequence that starts at text[at], or 0 when there is none.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length;
    std::uint32_t code;
    std::uint32_t least;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1Fu, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0Fu, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (next & 0x3Fu);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < least || code > 0x10FFFF || surrogate ? 0 : length;
}

}  // namespace

void SetEventLogPath(std::string path) {
    LogPathGiven() = std::move(path);
}

std::string QuoteLogText(std::string_view text) {
    // Each character as it goes into the log: itself, or an escape.
    std::vector<std::string> pieces;
    std::size_t total = 0;
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const std::size_t length = Utf8Length(text, at);
        std::string piece;
        if (byte == '"' || byte == '\\') {
            piece = {'\\', static_cast<char>(byte)};
        } else if (length == 0 || byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            piece = escape;
        } else {
            piece = text.substr(at, length);
        }
        at += length == 0 ? 1 : length;
        total += piece.size();
        pieces.push_back(std::move(piece));
    }
    std::string quoted = "\"";
    if (total <= kQuotedLimit) {
        for (const std::string& piece : pieces) {
            quoted += piece;
        }
    } else {
        // Too long for one atomic line: the start and the end, which tell a path apart best.
        constexpr char kCut[] = "...";
        const std::size_t half = (kQuotedLimit - (sizeof kCut - 1)) / 2;
        std::size_t head = 0;
        std::size_t used = 0;
        while (used + pieces[head].size() <= half) {
            used += pieces[head++].size();
        }
        std::size_t tail = pieces.size();
        used = 0;
        while (used + pieces[tail - 1].size() <= half) {
            used += pieces[--tail].size();
        }
        for (std::size_t i = 0; i < head; ++i) {
            quoted += pieces[i];
        }
        quoted += kCut;
        for (std::size_t i = tail; i < pieces.size(); ++i) {
            quoted += pieces[i];
        }
    }
    quoted += '"';
    return quoted;
}

std::string CheckEventLog() {
    const char* name = LogFileName();
    if (name == nullptr) {
        return {};
    }
    std::string why;
    const int fd = OpenLog(name, why);
    if (fd < 0) {
        return std::string(name) + ": " + why;
    }
    ::close(fd);
    return {};
}

void ResetEventLogState() {
    LogFailureSaid() = false;
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

void LogProgramStart(std::string_view image, const ProgramStartFields& fields) {
    const auto count = [](std::int64_t n) { return n < 0 ? std::string("-") : std::to_string(n); };
    char crc[16] = "-";
    if (fields.crc32) {
        std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(*fields.crc32));
    }
    Append(FormatLogLine("start", "image=" + QuoteLogText(image) + " pages=" + count(fields.pages) +
                                      " beyond=" + count(fields.wordsBeyond) +
                                      " malformed=" + count(fields.malformed) + " crc32=" + crc));
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
