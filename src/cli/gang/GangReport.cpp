#include "cli/gang/GangReport.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "report/EventLog.h"

namespace tarnel::cli {

std::string GangReportText(const std::vector<BoardState>& boards, const GangImage& image,
                           const std::string& version) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(image.crc32));
    nlohmann::ordered_json records = nlohmann::ordered_json::array();
    for (const BoardState& board : boards) {
        records.push_back({
            {"serial", board.serial},
            {"port", board.port},
            {"image", image.path},
            {"crc32", crc},
            {"start", UtcTimeStamp(board.startedAt)},
            {"end", UtcTimeStamp(board.endedAt)},
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
