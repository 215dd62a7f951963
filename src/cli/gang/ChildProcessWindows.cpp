// The children of a gang on Windows: CreateProcessW with an anonymous pipe for their
// output. Anonymous pipes cannot be waited on, so the parent looks at them in short turns.

#include <windows.h>

#include <algorithm>

#include "cli/gang/ChildProcess.h"

namespace tarnel::cli {
namespace {

constexpr DWORD kLookEveryMs = 20;

std::wstring Wide(const std::string& text) {
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(size, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          size);
    return wide;
}

// One argument quoted so that CommandLineToArgvW gives it back unchanged: backslashes are
// doubled only where a quote follows them.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

std::string SystemReason(DWORD code) {
    char text[256] = {};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     text, sizeof text, nullptr);
    std::string reason(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) {
        reason.pop_back();
    }
    return reason.empty() ? "error " + std::to_string(code) : reason;
}

class WindowsChild final : public ChildProcess {
public:
    WindowsChild(HANDLE process, HANDLE pipe) : process_(process), pipe_(pipe) {}
    ~WindowsChild() override {
        if (pipe_ != nullptr) {
            ::CloseHandle(pipe_);
        }
        if (!ended_) {
            ::TerminateProcess(process_, 1);
        }
        ::CloseHandle(process_);
    }

    bool ReadAvailable(std::string& into) override {
        while (pipe_ != nullptr) {
            DWORD waiting = 0;
            if (!::PeekNamedPipe(pipe_, nullptr, 0, nullptr, &waiting, nullptr)) {
                ::CloseHandle(pipe_);  // the child's end is closed
                pipe_ = nullptr;
                break;
            }
            if (waiting == 0) {
                return true;
            }
            char buffer[4096];
            DWORD got = 0;
            if (!::ReadFile(pipe_, buffer, std::min<DWORD>(waiting, sizeof buffer), &got,
                            nullptr)) {
                ::CloseHandle(pipe_);
                pipe_ = nullptr;
                break;
            }
            into.append(buffer, got);
        }
        return false;
    }

    bool Ended(ChildEnd& end) override {
        if (!ended_) {
            if (::WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
                return false;
            }
            DWORD code = 0;
            ::GetExitCodeProcess(process_, &code);
            ended_ = true;
            end_.exited = true;
            end_.exitCode = static_cast<int>(code);
        }
        end = end_;
        return true;
    }

    // The child shares the console and has had the Ctrl-C itself.
    void RequestStop(int) override {}

    void Kill() override {
        if (!ended_) {
            ::TerminateProcess(process_, 1);
        }
    }

private:
    HANDLE process_;
    HANDLE pipe_;
    bool ended_ = false;
    ChildEnd end_;
};

}  // namespace

std::unique_ptr<ChildProcess> StartChild(const std::vector<std::string>& arguments,
                                         std::string& error) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherited, 0)) {
        error = SystemReason(::GetLastError());
        return nullptr;
    }
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE nothing = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &inherited, OPEN_EXISTING, 0, nullptr);

    std::wstring commandLine;
    for (const std::string& argument : arguments) {
        commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(Wide(argument));
    }
    const std::wstring application = Wide(arguments.front());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    // Started one at a time on this thread: no other child inherits this pipe's write end.
    const BOOL started = ::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr,
                                          TRUE, 0, nullptr, nullptr, &startup, &process);
    const DWORD why = ::GetLastError();
    ::CloseHandle(writeEnd);
    if (nothing != INVALID_HANDLE_VALUE) {
        ::CloseHandle(nothing);
    }
    if (!started) {
        ::CloseHandle(readEnd);
        error = SystemReason(why);
        return nullptr;
    }
    ::CloseHandle(process.hThread);
    return std::make_unique<WindowsChild>(process.hProcess, readEnd);
}

void WaitForChildren(const std::vector<ChildProcess*>&, std::chrono::milliseconds timeout) {
    ::Sleep(static_cast<DWORD>(std::min<long long>(timeout.count(), kLookEveryMs)));
}

}  // namespace tarnel::cli
