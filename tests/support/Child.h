#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace tamrel::test {

// Runs `body` in a forked child and returns its exit status, or 128 + the signal that ended it.
// For what a test must do as another user or with other limits; the child prints its own
// failures and must not use the test framework's assertions.
inline int inChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace tamrel::test
