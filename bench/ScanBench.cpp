// ReadWordImage throughput over a full flash image (32768 records) and over a file of about
// 100 MB of records, each with LF and with CR LF line ends. The files are generated into a
// temporary directory on first use and removed at exit; they are read warm from the page
// cache, so the figures are the reader's own cost.
//
// Counters: text_MB, the rate in decimal megabytes of image text; peak_rss_MB, the process's
// peak resident set so far; rss_growth_kB, how far the timed reads raised that peak (0: reading
// did not need more memory than the process already had).

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scan/ByteStream.h"
#include "scan/ImageReader.h"

namespace {

constexpr std::uint32_t kFlashWords = 32768;
constexpr std::int64_t kLargeBytes = 100'000'000;

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;  // KiB on Linux
}

// Every word of the flash once, in address order, with values that are never blank.
std::string FullImageText(bool crlf) {
    std::string text;
    std::uint32_t x = 2463534242u;
    char line[32];
    for (std::uint32_t a = 0; a < kFlashWords; ++a) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        std::snprintf(line, sizeof line, "@%06X %04X%s", a, x % 0xFFFF, crlf ? "\r\n" : "\n");
        text += line;
    }
    return text;
}

// The generated files, made on first use and removed when the program ends.
class BenchFiles {
public:
    static BenchFiles& Get() {
        static BenchFiles files;
        return files;
    }
    const std::string& Path(bool large, bool crlf) const { return paths_[large * 2 + crlf]; }

private:
    BenchFiles() {
        std::string dir = (std::filesystem::temp_directory_path() / "tarnel-bench-XXXXXX");
        if (mkdtemp(dir.data()) == nullptr) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        dir_ = dir;
        for (bool crlf : {false, true}) {
            const std::string image = FullImageText(crlf);
            paths_[crlf] = Write("full", crlf, image, 1);
            // Whole images over and over, written one image at a time: about 100 MB.
            const auto repeats = (kLargeBytes + static_cast<std::int64_t>(image.size()) - 1) /
                                 static_cast<std::int64_t>(image.size());
            paths_[2 + crlf] = Write("large", crlf, image, repeats);
        }
    }
    ~BenchFiles() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string Write(const char* name, bool crlf, const std::string& image,
                      std::int64_t repeats) const {
        const std::string path = (dir_ / (std::string(name) + (crlf ? "-crlf" : "-lf") + ".rom"));
        std::ofstream out(path, std::ios::binary);
        for (std::int64_t i = 0; i < repeats; ++i) {
            out << image;
        }
        return path;
    }

    std::filesystem::path dir_;
    std::string paths_[4];
};

void ReadImage(benchmark::State& state, bool large, bool crlf) {
    const std::string& path = BenchFiles::Get().Path(large, crlf);
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
    std::vector<std::uint16_t> image(kFlashWords);
    const long rssBefore = PeakRssKiB();
    for (auto _ : state) {
        std::fill(image.begin(), image.end(), 0xFFFF);
        const int highest = tarnel::ReadWordImage(path, image.data(), kFlashWords);
        if (highest != static_cast<int>(kFlashWords - 1)) {
            state.SkipWithError("unexpected result");
            break;
        }
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["text_MB"] = benchmark::Counter(static_cast<double>(bytes) / 1e6,
                                                   benchmark::Counter::kIsIterationInvariantRate);
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["peak_rss_MB"] = static_cast<double>(PeakRssKiB()) / 1024.0;
    state.counters["rss_growth_kB"] = static_cast<double>(PeakRssKiB() - rssBefore);
}

// The stream alone: every character of the large LF file through Get in text mode.
void StreamGet(benchmark::State& state) {
    const std::string& path = BenchFiles::Get().Path(true, false);
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
    for (auto _ : state) {
        tarnel::ByteStream stream;
        stream.Open(path, tarnel::StreamMode::Text);
        std::uint32_t sum = 0;
        for (int c; (c = stream.Get()) >= 0;) {
            sum += static_cast<std::uint32_t>(c);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["text_MB"] = benchmark::Counter(static_cast<double>(bytes) / 1e6,
                                                   benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(ReadImage, full_lf, false, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadImage, full_crlf, false, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadImage, 100MB_lf, true, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadImage, 100MB_crlf, true, true)->Unit(benchmark::kMillisecond);
BENCHMARK(StreamGet)->Unit(benchmark::kMillisecond);

}  // namespace
