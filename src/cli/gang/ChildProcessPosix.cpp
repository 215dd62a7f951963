// The children of a gang on Linux: posix_spawn with a pipe for their output.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/gang/ChildProcess.h"

extern char** environ;

namespace tarnel::cli {
namespace {

class PosixChild final : public ChildProcess {
public:
    PosixChild(pid_t pid, int pipe) : pid_(pid), pipe_(pipe) {}
    ~PosixChild() override {
        if (pipe_ >= 0) {
            ::close(pipe_);
        }
        if (!reaped_) {
            // Not left running nor as a zombie behind a parent that gave up on it.
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    bool ReadAvailable(std::string& into) override {
        while (pipe_ >= 0) {
            char buffer[4096];
            const ssize_t got = ::read(pipe_, buffer, sizeof buffer);
            if (got > 0) {
                into.append(buffer, static_cast<std::size_t>(got));
                continue;
            }
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return true;
            }
            ::close(pipe_);
            pipe_ = -1;
        }
        return false;
    }

    bool Ended(ChildEnd& end) override {
        if (!reaped_) {
            int status = 0;
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done != pid_) {
                return false;
            }
            reaped_ = true;
            end_.exited = WIFEXITED(status);
            end_.exitCode = end_.exited ? WEXITSTATUS(status) : -1;
            end_.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        }
        end = end_;
        return true;
    }

    void RequestStop(int stopSignal) override {
        if (!reaped_) {
            ::kill(pid_, stopSignal);
        }
    }

    void Kill() override { RequestStop(SIGKILL); }

    int Pipe() const { return pipe_; }

private:
    pid_t pid_;
    int pipe_;
    bool reaped_ = false;
    ChildEnd end_;
};

}  // namespace

std::unique_ptr<ChildProcess> StartChild(const std::vector<std::string>& arguments,
                                         std::string& error) {
    int ends[2];
    // Close-on-exec, so that no other child holds this pipe open after its own child ends.
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 2);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int stop : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        sigaddset(&defaults, stop);
    }
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(ends[1]);
    if (spawned != 0) {
        ::close(ends[0]);
        error = std::strerror(spawned);
        return nullptr;
    }
    ::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    return std::make_unique<PosixChild>(pid, ends[0]);
}

void WaitForChildren(const std::vector<ChildProcess*>& children,
                     std::chrono::milliseconds timeout) {
    std::vector<pollfd> pipes;
    for (ChildProcess* child : children) {
        if (const int pipe = static_cast<PosixChild*>(child)->Pipe(); pipe >= 0) {
            pipes.push_back({pipe, POLLIN, 0});
        }
    }
    // A child's end shows as the end of its pipe; one that ended with its pipe held open
    // elsewhere is found at the next turn, after the timeout.
    ::poll(pipes.data(), pipes.size(), static_cast<int>(timeout.count()));
}

}  // namespace tarnel::cli
