#pragma once

#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

namespace tamrel::test {

// Runs `body` in a forked child and returns its exit status, or 128 + the signal that ended it.
// For what a test must do as another user or with other limits; the child prints its own
// failures and must not use the test framework's assertions.
//
// The child is a copy of a process that may run other threads (the shared compute pool's
// workers, a model's workers): only the forking thread lives on in it, and a lock another thread
// held at the fork stays held there for good. So the body uses what starts its own threads or
// none (scans, watchers, the movers; the compute pool runs chunks on the caller in a child), and
// nothing of Qt or of objects other threads of the test were using at the fork.
inline int inChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Forks a child that runs `exec` (its set-up, then an exec call) and returns the child's pid
// once the child runs the new program (or has ended): a close-on-exec pipe tells, as the kernel
// closes it at the exec, after the process has taken the program's image. `exec` runs in the
// child of a process that may have other threads: async-signal-safe calls only.
inline pid_t startProgram(const std::function<void()>& exec) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        exec();
        ::_exit(127);
    }
    ::close(ends[1]);
    char byte = 0;
    while (pid > 0 && ::read(ends[0], &byte, 1) < 0 && errno == EINTR) {
    }
    ::close(ends[0]);
    return pid;
}

// The unprivileged user a child turns into to meet permissions as a user does.
inline constexpr uid_t nobody = 65534;

// In a child: drops every right and becomes `nobody`. False when that failed.
inline bool becomeNobody() {
    return ::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0;
}

// Gives `top` and everything below it to `nobody` (links themselves, never followed). False
// when something could not be given.
inline bool giveToNobody(const char* top) {
    return ::nftw(
               top,
               [](const char* path, const struct stat*, int, struct FTW*) {
                   return ::lchown(path, nobody, nobody);
               },
               64, FTW_PHYS) == 0;
}

}  // namespace tamrel::test
