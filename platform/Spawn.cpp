#include "platform/Spawn.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/UniqueFd.h"

extern char** environ;

namespace tamrel {

namespace {

// Owns a posix_spawn_file_actions_t for one spawn.
class FileActions {
public:
    FileActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
    ~FileActions() {
        if (ok_) ::posix_spawn_file_actions_destroy(&actions_);
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    bool ok() const { return ok_; }
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
    bool ok_ = false;
};

// Starts `program` with its standard output on `out` (or /dev/null when `out` is -1) and its
// standard input and error on /dev/null. The child's pid, or -1.
pid_t start(const std::string& program, const std::vector<std::string>& args, int out) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    FileActions actions;
    if (!actions.ok()) return -1;
    // dup2 onto 1 clears close-on-exec for the child's copy only; the pipe's own ends close on
    // exec, so no other child of this process holds the write end open.
    const bool ok =
        ::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0) == 0 &&
        (out >= 0 ? ::posix_spawn_file_actions_adddup2(actions.get(), out, 1)
                  : ::posix_spawn_file_actions_addopen(actions.get(), 1, "/dev/null", O_WRONLY,
                                                       0)) == 0 &&
        ::posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0) == 0;
    pid_t child = 0;
    if (!ok ||
        ::posix_spawn(&child, program.c_str(), actions.get(), nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    return child;
}

// Waits for `child`; its exit status, or -1 when a signal ended it.
int wait(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A descriptor that polls readable when `child` ends, or an invalid one (kernels before 5.3).
UniqueFd processFd(pid_t child) {
    return UniqueFd(static_cast<int>(::syscall(SYS_pidfd_open, child, 0)));
}

// Whether `child` has ended, reaping it then; its status goes to `status`.
bool ended(pid_t child, int& status) {
    int raw = 0;
    pid_t got = 0;
    do {
        got = ::waitpid(child, &raw, WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got == 0) return false;
    status = got == child && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return true;
}

// Waits 50 ms, or less when the child behind `fd` (if valid) ends meanwhile.
void awaitEnd(const UniqueFd& fd) {
    if (fd) {
        pollfd p{fd.get(), POLLIN, 0};
        ::poll(&p, 1, 50);
    } else {
        ::usleep(50'000);
    }
}

}  // namespace

std::optional<int> runProgramUnlessStopped(const std::string& program,
                                           const std::vector<std::string>& args,
                                           const std::atomic<bool>& stop) {
    if (stop.load()) return std::nullopt;
    const pid_t child = start(program, args, -1);
    if (child < 0) return std::nullopt;
    const UniqueFd fd = processFd(child);
    int status = -1;
    while (!stop.load()) {
        if (ended(child, status)) return status;
        awaitEnd(fd);
    }
    if (ended(child, status)) return status;
    // A child that keeps running a second after SIGTERM is left to run, as one that no longer
    // takes this process's signals is: stopping never waits long.
    if (::kill(child, SIGTERM) == 0) {
        for (int i = 0; i < 20 && !ended(child, status); ++i)
            awaitEnd(fd);
    }
    return std::nullopt;
}

int runProgram(const std::string& program, const std::vector<std::string>& args) {
    const pid_t child = start(program, args, -1);
    return child < 0 ? -1 : wait(child);
}

std::optional<std::string> programOutput(const std::string& program,
                                         const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    UniqueFd readEnd(fds[0]);
    UniqueFd writeEnd(fds[1]);
    const pid_t child = start(program, args, writeEnd.get());
    writeEnd.reset();
    if (child < 0) return std::nullopt;
    std::string output;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
        if (n > 0) {
            output.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    readEnd.reset();
    wait(child);
    return output;
}

}  // namespace tamrel
