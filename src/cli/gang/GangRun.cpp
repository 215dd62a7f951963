#include "cli/gang/GangRun.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "cli/gang/ChildProcess.h"
#include "cli/gang/GangAdapters.h"
#include "cli/gang/GangProtocol.h"
#include "cli/gang/GangReport.h"
#include "cli/gang/GangTable.h"
#include "program/ImageLoad.h"
#include "program/Mailbox.h"
#include "program/StopRequest.h"
#include "report/Report.h"

namespace tarnel::cli {
namespace {

using Clock = std::chrono::steady_clock;

// A child that writes nothing this long is taken for hung: every stage tells its progress
// far more often, and the child's own transfers time out well within it.
constexpr auto kSilenceLimit = std::chrono::seconds(60);
// How long children may take to stop after the user's stop before they are ended.
constexpr auto kStopGrace = std::chrono::seconds(15);
constexpr auto kTurn = std::chrono::milliseconds(100);

// Reads and checks the image as every child will; a refusal is reported as the children
// would report it, and starts nothing.
std::optional<GangImage> ReadImage(const std::string& path, const ImageLoadOptions& options) {
    const LoadedImage loaded = LoadFlashImage(path, options);
    if (loaded.failure) {
        ReportError(*loaded.failure);
        return std::nullopt;
    }
    return GangImage{path, loaded.crc32, loaded.pages};
}

struct Child {
    std::unique_ptr<ChildProcess> process;
    std::string pending;  // a line not yet ended
    Clock::time_point lastHeard;
    bool hung = false;
};

// The child's command line: its adapter, the options that say how to read the image, the
// image.
std::vector<std::string> ChildArguments(const GangRequest& request, const std::string& choice) {
    std::vector<std::string> arguments = {request.childProgram, "--adapter", choice};
    arguments.insert(arguments.end(), request.imageArguments.begin(), request.imageArguments.end());
    arguments.insert(arguments.end(), {"--", request.image});
    return arguments;
}

void Start(BoardState& board, Child& child, const GangRequest& request) {
    board.startedAt = std::chrono::system_clock::now();
    board.startedSteady = Clock::now();
    child.lastHeard = board.startedSteady;
    std::string error;
    child.process = StartChild(ChildArguments(request, board.choice), error);
    if (!child.process) {
        board.outcome = BoardOutcome::Failure;
        board.message = "The programmer process could not be started";
        board.detail = request.childProgram + ": " + error;
        board.ended = true;
        board.endedAt = board.startedAt;
        board.endedSteady = board.startedSteady;
    }
}

// Takes the child's complete lines into its board.
void TakeLines(BoardState& board, Child& child) {
    std::size_t start = 0;
    for (std::size_t end; (end = child.pending.find('\n', start)) != std::string::npos;
         start = end + 1) {
        std::string_view line(child.pending.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        ApplyChildLine(board, line);
    }
    child.pending.erase(0, start);
}

// The board's outcome once its child has ended: a success only when the child both said
// so and ended with 0.
void Settle(BoardState& board, const Child& child, const ChildEnd& end, bool stopping) {
    board.ended = true;
    board.endedAt = std::chrono::system_clock::now();
    board.endedSteady = Clock::now();
    board.exitCode = end.exited ? end.exitCode : -1;
    const bool toldOutcome = board.outcome != BoardOutcome::Running;
    if (board.outcome == BoardOutcome::Success && end.exited && end.exitCode == 0) {
        return;
    }
    if (stopping || board.outcome == BoardOutcome::Interrupted) {
        board.outcome = BoardOutcome::Interrupted;
        return;
    }
    board.outcome = BoardOutcome::Failure;
    if (child.hung) {
        board.message = "The programmer process stopped answering";
        board.detail = "nothing heard for " + std::to_string(kSilenceLimit.count()) + " s";
    } else if (!toldOutcome || board.message.empty()) {
        board.message = "The programmer process ended without a result";
        board.detail = end.exited ? "exit status " + std::to_string(end.exitCode)
                                  : "signal " + std::to_string(end.signal);
        if (!board.lastOtherLine.empty()) {
            board.detail += "; " + board.lastOtherLine;
        }
    }
}

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

int RunGang(const GangRequest& request) {
    const std::optional<GangImage> image = ReadImage(request.image, request.imageOptions);
    if (!image) {
        return kGangNothingStarted;
    }
    std::vector<BoardState> boards;
    if (request.all) {
        std::string error;
        auto usable = UsableBoards(error);
        if (!usable) {
            std::fprintf(stderr, "tarnel-cli: %s\n", error.c_str());
            return kGangNothingStarted;
        }
        boards = std::move(*usable);
    } else {
        boards = NamedBoards(request.adapters);
    }
    if (boards.empty()) {
        std::fputs("tarnel-cli: no usable adapter (tarnel-adapters lists them and says why)\n",
                   stderr);
        return kGangNothingStarted;
    }
    // Opened before any board is touched, so that a report that cannot be kept stops
    // the gang while nothing has been programmed.
    std::ofstream report;
    if (request.report) {
        report.open(PathOf(*request.report), std::ios::binary | std::ios::trunc);
        if (!report) {
            std::fprintf(stderr, "tarnel-cli: cannot write the report %s: %s\n",
                         request.report->c_str(), std::strerror(errno));
            return kGangNothingStarted;
        }
    }

#ifdef _WIN32
    ::_putenv_s(kGangChildVariable, "1");
#else
    ::setenv(kGangChildVariable, "1", 1);
#endif
    const Clock::time_point gangStart = Clock::now();
    GangTable table(stdout, CanDrawTable(stdout));
    std::vector<Child> children(boards.size());
    for (std::size_t i = 0; i < boards.size(); ++i) {
        Start(boards[i], children[i], request);
    }

    int stopStatus = 0;  // 128 + the signal, once a stop came
    Clock::time_point stopDeadline{};
    for (;;) {
        std::vector<ChildProcess*> running;
        for (std::size_t i = 0; i < boards.size(); ++i) {
            if (!boards[i].ended) {
                running.push_back(children[i].process.get());
            }
        }
        if (running.empty()) {
            break;
        }
        table.Show(boards, Clock::now());
        WaitForChildren(running, kTurn);
        const Clock::time_point now = Clock::now();
        if (stopStatus == 0 && StopRequested()) {
            // main's stop seam noted it; the children are told with the same signal.
            stopStatus = StopExitStatus();
            stopDeadline = now + kStopGrace;
            for (ChildProcess* child : running) {
                child->RequestStop(stopStatus - 128);
            }
        }
        for (std::size_t i = 0; i < boards.size(); ++i) {
            Child& child = children[i];
            if (boards[i].ended) {
                continue;
            }
            const std::size_t before = child.pending.size();
            const bool open = child.process->ReadAvailable(child.pending);
            if (child.pending.size() != before) {
                child.lastHeard = now;
            }
            TakeLines(boards[i], child);
            ChildEnd end;
            if (!open && child.process->Ended(end)) {
                if (!child.pending.empty()) {
                    ApplyChildLine(boards[i], child.pending);
                }
                Settle(boards[i], child, end, stopStatus != 0);
            } else if ((stopStatus != 0 && now > stopDeadline) ||
                       (stopStatus == 0 && now - child.lastHeard > kSilenceLimit)) {
                child.hung = stopStatus == 0;
                child.process->Kill();
            }
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - gangStart).count();
    table.Finish(boards, Clock::now(), seconds);

    if (report.is_open()) {
        report << GangReportText(boards, *image, request.version);
        report.close();
        if (!report) {
            std::fprintf(stderr, "tarnel-cli: the report %s could not be written\n",
                         request.report->c_str());
            return stopStatus != 0 ? stopStatus : kGangSomeFailed;
        }
    }
    if (stopStatus != 0) {
        return stopStatus;
    }
    for (const BoardState& board : boards) {
        if (board.outcome != BoardOutcome::Success) {
            return kGangSomeFailed;
        }
    }
    return kGangAllProgrammed;
}

}  // namespace tarnel::cli
