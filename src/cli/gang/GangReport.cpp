#include "cli/gang/GangReport.h"

#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

namespace tarnel::cli {

std::string IsoUtc(std::chrono::system_clock::time_point time) {
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    const auto sinceEpoch = duration_cast<milliseconds>(time.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(sinceEpoch / 1000);
    std::tm utc{};
#ifdef _WIN32
    ::gmtime_s(&utc, &seconds);
#else
    ::gmtime_r(&seconds, &utc);
#endif
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(sinceEpoch % 1000));
    return text;
}

std::string GangReportText(const std::vector<BoardState>& boards, const GangImage& image,
                           const std::string& version) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(image.crc32));
    nlohmann::ordered_json records = nlohmann::ordered_json::array();
    for (const BoardState& board : boards) {
        records.push_back({
            {"serial", board.serial},
            {"port", board.port},
            {"image", image.path},
            {"crc32", crc},
            {"start", IsoUtc(board.startedAt)},
            {"end", IsoUtc(board.endedAt)},
            {"outcome", OutcomeName(board.outcome)},
            {"message", board.message},
            {"detail", board.detail},
            {"flash", FlashStateName(BoardFlash(board))},
            {"pages", board.pages},
            {"imagePages", image.pages},
            {"exit", board.exitCode},
            {"version", version},
        });
    }
    const nlohmann::ordered_json report = {
        {"tool", "tarnel-cli"}, {"version", version}, {"image", image.path},
        {"crc32", crc},         {"boards", records},
    };
    // Bytes that are not UTF-8 (a file name from an older system) are replaced, not thrown.
    return report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace tarnel::cli
