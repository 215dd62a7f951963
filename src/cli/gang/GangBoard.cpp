#include "cli/gang/GangBoard.h"

namespace tarnel::cli {

FlashState BoardFlash(const BoardState& board) {
    if (board.outcome == BoardOutcome::Success) {
        return FlashState::Programmed;
    }
    if (board.pages > 0) {
        return FlashState::PartlyProgrammed;
    }
    if (board.stage == "erase" || board.stage == "flash") {
        return FlashState::EraseBegun;
    }
    return FlashState::Unchanged;
}

const char* FlashStateName(FlashState state) {
    switch (state) {
        case FlashState::Unchanged:
            return "unchanged";
        case FlashState::EraseBegun:
            return "erase-begun";
        case FlashState::PartlyProgrammed:
            return "partly-programmed";
        case FlashState::Programmed:
            break;
    }
    return "programmed";
}

const char* OutcomeName(BoardOutcome outcome) {
    switch (outcome) {
        case BoardOutcome::Running:
            return "running";
        case BoardOutcome::Success:
            return "success";
        case BoardOutcome::Failure:
            return "failure";
        case BoardOutcome::Interrupted:
            break;
    }
    return "interrupted";
}

double BoardSeconds(const BoardState& board, std::chrono::steady_clock::time_point now) {
    const auto end = board.ended ? board.endedSteady : now;
    return std::chrono::duration<double>(end - board.startedSteady).count();
}

}  // namespace tarnel::cli
