#include "support/SimProcess.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/Portable.h"
#include "support/WireTraceReader.h"

#ifndef _WIN32
extern char** environ;
#endif

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
#ifdef _WIN32
    char** entries = _environ;
#else
    char** entries = environ;
#endif
    const auto replaced = [&request](const std::string& text) {
        for (const std::string& entry : request.environment) {
            const std::string name = entry.substr(0, entry.find('=') + 1);
            if (text.rfind(name, 0) == 0) {
                return true;
            }
        }
        return false;
    };
    for (char** entry = entries; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const bool display =
            text.rfind("DISPLAY=", 0) == 0 || text.rfind("WAYLAND_DISPLAY=", 0) == 0;
        if (text.rfind("TARNEL_SIM_", 0) != 0 && text.rfind("QT_QPA_PLATFORM=", 0) != 0 &&
            !(request.headless && display) && !replaced(text)) {
            env.push_back(text);
        }
    }
    env.insert(env.end(), request.environment.begin(), request.environment.end());
    if (!request.headless) {
        env.push_back("QT_QPA_PLATFORM=offscreen");
    }
    env.push_back("TARNEL_SIM_FLASH=" + (dir / "flash.rom").string());
    env.push_back("TARNEL_SIM_TRACE=" + (dir / "trace.txt").string());
    env.push_back("TARNEL_SIM_FAULTS=" + request.faults);
    return env;
}

#ifdef _WIN32
std::wstring Wide(const std::string& text) {
    const std::u8string utf8(text.begin(), text.end());
    return std::filesystem::path(utf8).wstring();
}

// One argument as the C runtime's command-line parser reads it back.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless they precede a quote.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// Starts the program with its output in `outputPath`, waits for it within the request's
// time-out, and records how it ended. Windows has no polite close for a console program:
// terminateAfter ends it as the time-out does.
void RunProcess(const std::vector<std::string>& args, const std::vector<std::string>& env,
                const std::filesystem::path& dir, const std::filesystem::path& outputPath,
                const SimRunRequest& request, SimRunResult& result) {
    std::wstring commandLine;
    for (const std::string& argument : args) {
        commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(Wide(argument));
    }
    std::wstring block;
    for (const std::string& entry : env) {
        block += Wide(entry);
        block += L'\0';
    }
    block += L'\0';
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE out = CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        return;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION process{};
    const std::wstring program = Wide(args.front());
    const BOOL created = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, block.data(),
                                        dir.c_str(), &startup, &process);
    CloseHandle(out);
    if (!created) {
        return;
    }
    result.started = true;
    auto limit = request.timeout;
    if (request.terminateAfter && *request.terminateAfter < limit) {
        limit = *request.terminateAfter;
        result.terminateSent = true;
    }
    const auto waitMs =
        static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(limit).count());
    if (WaitForSingleObject(process.hProcess, waitMs) == WAIT_OBJECT_0) {
        result.terminateSent = false;
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result.exitStatus = static_cast<int>(code);
    } else {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        result.timedOut = true;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
#else

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}
#endif

}  // namespace

std::string TarnelSimPath() {
    return TARNEL_SIM_EXECUTABLE;
}

SimRunResult RunTarnelSim(const SimRunRequest& request) {
    SimRunResult result;
    const std::filesystem::path dir = MakeTemporaryDirectory("tarnel-sim-run-");
    if (dir.empty()) {
        return result;
    }
    if (request.initialFlash) {
        std::ofstream(dir / "flash.rom") << *request.initialFlash;
    }
    for (const auto& [from, name] : request.filesInFolder) {
        std::error_code ignored;
        std::filesystem::copy_file(from, dir / name, ignored);
    }

    std::vector<std::string> args{request.executable.empty() ? TarnelSimPath()
                                                             : request.executable};
    args.insert(args.end(), request.arguments.begin(), request.arguments.end());
    std::vector<std::string> env = Environment(dir, request);
#ifdef _WIN32
    RunProcess(args, env, dir, dir / "output.txt", request, result);
#else
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
#endif

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
