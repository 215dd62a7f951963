#include "support/SimProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/WireTraceReader.h"

extern char** environ;

namespace tarnel::test {
namespace {

constexpr std::size_t kFlashWords = 32768;

std::vector<std::string> ReadLines(const std::filesystem::path& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool IsUpperHex(const std::string& text, std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i) {
        const char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

void ReadFlash(const std::filesystem::path& path, SimRunResult& result) {
    result.flash.assign(kFlashWords, 0xFFFF);
    result.flashWritten = std::filesystem::exists(path);
    if (!result.flashWritten) {
        return;
    }
    long previous = -1;
    std::size_t number = 0;
    for (const std::string& line : ReadLines(path)) {
        ++number;
        const auto fail = [&](const char* why) {
            result.flashFormatErrors.push_back("line " + std::to_string(number) + " (" + line +
                                               "): " + why);
        };
        if (line.size() != 12 || line[0] != '@' || line[7] != ' ' || !IsUpperHex(line, 1, 6) ||
            !IsUpperHex(line, 8, 4)) {
            fail("not @AAAAAA VVVV in upper-case hex");
            continue;
        }
        const long address = std::stol(line.substr(1, 6), nullptr, 16);
        const auto value = static_cast<std::uint16_t>(std::stoul(line.substr(8, 4), nullptr, 16));
        if (address >= static_cast<long>(kFlashWords)) {
            fail("address beyond the flash");
            continue;
        }
        if (address <= previous) {
            fail("address not above the one before");
        }
        if (value == 0xFFFF) {
            fail("blank word listed");
        }
        previous = address;
        result.flash[static_cast<std::size_t>(address)] = value;
    }
}

std::vector<std::string> Environment(const std::filesystem::path& dir,
                                     const SimRunRequest& request) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const bool display =
            text.rfind("DISPLAY=", 0) == 0 || text.rfind("WAYLAND_DISPLAY=", 0) == 0;
        if (text.rfind("TARNEL_SIM_", 0) != 0 && text.rfind("QT_QPA_PLATFORM=", 0) != 0 &&
            !(request.headless && display)) {
            env.push_back(text);
        }
    }
    if (!request.headless) {
        env.push_back("QT_QPA_PLATFORM=offscreen");
    }
    env.push_back("TARNEL_SIM_FLASH=" + (dir / "flash.rom").string());
    env.push_back("TARNEL_SIM_TRACE=" + (dir / "trace.txt").string());
    env.push_back("TARNEL_SIM_FAULTS=" + request.faults);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

std::filesystem::path MakeTemporaryDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tarnel-sim-run-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    return pattern;
}

}  // namespace

std::string TarnelSimPath() {
    return TARNEL_SIM_EXECUTABLE;
}

SimRunResult RunTarnelSim(const SimRunRequest& request) {
    SimRunResult result;
    const std::filesystem::path dir = MakeTemporaryDirectory();
    if (dir.empty()) {
        return result;
    }
    if (request.initialFlash) {
        std::ofstream(dir / "flash.rom") << *request.initialFlash;
    }

    std::vector<std::string> args{request.executable.empty() ? TarnelSimPath()
                                                             : request.executable};
    args.insert(args.end(), request.arguments.begin(), request.arguments.end());
    std::vector<std::string> env = Environment(dir, request);
    std::vector<char*> argv = Pointers(args);
    std::vector<char*> envp = Pointers(env);
    const std::string dirText = dir.string();
    const std::string outputPath = (dir / "output.txt").string();

    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here to the exec.
        const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || ::chdir(dirText.c_str()) != 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0) {
            ::_exit(126);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (pid > 0) {
        const auto started = std::chrono::steady_clock::now();
        const auto deadline = started + request.timeout;
        bool terminated = false;
        int status = 0;
        pid_t done = 0;
        while ((done = ::waitpid(pid, &status, WNOHANG)) == 0) {
            if (request.terminateAfter && !terminated &&
                std::chrono::steady_clock::now() >= started + *request.terminateAfter) {
                ::kill(pid, SIGTERM);
                terminated = true;
                result.terminateSent = true;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                result.timedOut = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (done == pid || result.timedOut) {
            if (WIFEXITED(status) && !result.timedOut) {
                result.exitStatus = WEXITSTATUS(status);
                result.started = result.exitStatus != 127;
            } else if (WIFSIGNALED(status)) {
                result.signal = WTERMSIG(status);
                result.started = true;
            }
        }
    }

    WireTraceText trace = ReadWireTrace(dir / "trace.txt");
    result.trace = std::move(trace.lines);
    result.calls = std::move(trace.calls);
    result.protocolErrors = std::move(trace.protocolErrors);
    ReadFlash(dir / "flash.rom", result);
    std::ifstream output(dir / "output.txt");
    std::stringstream text;
    text << output.rdbuf();
    result.output = text.str();

    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return result;
}

}  // namespace tarnel::test
