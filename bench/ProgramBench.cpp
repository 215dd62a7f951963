// A full programming run (2048-word bootloader, 128 non-blank pages) through the
// zero-latency simulator, in one process: the host's own time per run, and what the same
// traffic would need on a full-speed USB link.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <fstream>
#include <sstream>
#include <string>

#include "app/Mainform.h"
#include "link/AdapterLink.h"
#include "platform/DriverBackend.h"
#include "report/Report.h"
#include "sim/SimulatedBackend.h"

namespace {

struct WireTotals {
    double writeCalls = 0;
    double bytesWritten = 0;
    double readCalls = 0;
    double bytesRead = 0;
};

// Counts the wire traffic from a trace: "FT_Write <HEX> -> ..." and
// "FT_Read <count> -> <status> <got> ...".
WireTotals CountTrace(const std::string& path) {
    WireTotals totals;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("FT_Write ", 0) == 0) {
            totals.writeCalls += 1;
            totals.bytesWritten += static_cast<double>(line.find(' ', 9) - 9) / 2;
        } else if (line.rfind("FT_Read ", 0) == 0) {
            totals.readCalls += 1;
            std::string count, arrow, status, got;
            std::istringstream fields(line.substr(8));
            fields >> count >> arrow >> status >> got;
            totals.bytesRead += std::stod(got);
        }
    }
    return totals;
}

std::string WriteFullImage(const QTemporaryDir& dir) {
    const std::string path = dir.filePath("full.rom").toStdString();
    std::ofstream file(path);
    char line[32];
    for (unsigned address = 0; address < 32768; ++address) {
        // Every page non-blank; values that a blank flash accepts.
        std::snprintf(line, sizeof line, "@%06X %04X\n", address, (address * 37u) & 0x7FFF);
        file << line;
    }
    return path;
}

// One Program request of `window` on a fresh simulated target; false when it did not
// succeed. Only the request is timed: the window is built once.
bool ProgramOnce(tarnel::TFmainform& window, const std::string& tracePath) {
    tarnel::sim::SimConfig config;
    config.tracePath = tracePath;
    tarnel::InstallDriverBackend(std::make_unique<tarnel::sim::SimulatedBackend>(config));
    tarnel::ResetReportState();
    tarnel::SetQuietMode(true);
    window.setStatusText(QString());
    window.findChild<QPushButton*>(QStringLiteral("Bprogram"))->click();
    const bool ok = tarnel::ExitCode() == 0 && window.statusText().startsWith("Done in ");
    tarnel::InstallDriverBackend(nullptr);
    return ok;
}

void BM_FullProgrammingRun(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string image = WriteFullImage(dir);
    const std::string trace = dir.filePath("wire.trace").toStdString();
    tarnel::TFmainform window(nullptr, {});
    window.findChild<QLineEdit*>(QStringLiteral("Efilename"))
        ->setText(QString::fromStdString(image));
    if (!ProgramOnce(window, trace)) {
        state.SkipWithError("the programming run failed (is flash.ram beside the benchmark?)");
        return;
    }
    const WireTotals totals = CountTrace(trace);

    for (auto _ : state) {
        if (!ProgramOnce(window, "")) {
            state.SkipWithError("the programming run failed");
            return;
        }
    }
    // A full-speed link: about 1.2 MB/s of payload and at least 1 ms per read round trip.
    const double usbSeconds =
        (totals.bytesWritten + totals.bytesRead) / 1.2e6 + totals.readCalls * 1e-3;
    state.counters["write_calls"] = totals.writeCalls;
    state.counters["bytes_written"] = totals.bytesWritten;
    state.counters["read_calls"] = totals.readCalls;
    state.counters["bytes_read"] = totals.bytesRead;
    state.counters["usb_link_ms"] = usbSeconds * 1e3;
}
BENCHMARK(BM_FullProgrammingRun)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    tarnel::SetQuietMode(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
