#include "runtime/Process.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace runtime {

namespace {

// Frees a file-actions object on every way out.
class FileActions {
public:
    FileActions() {
        if (const int error = posix_spawn_file_actions_init(&actions_); error != 0) {
            throw Exception(format("Cannot prepare a program start (system error {})", error));
        }
    }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;

    posix_spawn_file_actions_t* get() noexcept { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

} // namespace

Process Process::start(const std::vector<std::string>& args) {
    if (args.empty()) {
        throw Exception("Cannot start a program without a path");
    }
    FileActions actions;
    // The program gets none of our standard streams, as on Windows.
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        const int mode = fd == STDIN_FILENO ? O_RDONLY : O_WRONLY;
        if (const int error =
                posix_spawn_file_actions_addopen(actions.get(), fd, "/dev/null", mode, 0);
            error != 0) {
            throw Exception(
                format("Cannot prepare the start of {} (system error {})", args[0], error));
        }
    }
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    // posix_spawn reports a failed exec (a file that is no program, or not allowed to
    // run) as its own result, so nothing half-started is left behind.
    if (const int error =
            posix_spawn(&pid, args[0].c_str(), actions.get(), nullptr, argv.data(), environ);
        error != 0) {
        throw Exception(format("Cannot start the program {} (system error {}: {})", args[0], error,
                               std::strerror(error)));
    }
    return Process(static_cast<std::intptr_t>(pid));
}

Process::Exit Process::wait() noexcept {
    if (handle_ == none) {
        return {Exit::Kind::WaitFailed, -1};
    }
    const auto pid = static_cast<pid_t>(std::exchange(handle_, none));
    int status = 0;
    pid_t got = 0;
    do {
        got = ::waitpid(pid, &status, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        return {Exit::Kind::WaitFailed, errno};
    }
    if (WIFSIGNALED(status)) {
        return {Exit::Kind::Ended, 128 + WTERMSIG(status)};
    }
    return {Exit::Kind::Ended, WEXITSTATUS(status)};
}

// A process id needs no closing; a program never waited for stays a zombie until we end.
void Process::release() noexcept {
    handle_ = none;
}

} // namespace runtime
