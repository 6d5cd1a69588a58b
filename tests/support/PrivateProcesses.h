#pragma once

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tamrel::test {

// Runs the rest of the test process in a process namespace of its own, with its own /proc, so
// that the programs other test processes start at the same time (applications asked to quit,
// fake AppImages) are never seen by the running-program checks of this one's models.
//
// Call at the start of main(), while the process has one thread, and only once
// enterPrivateMounts() has returned true: the new /proc is mounted over the old one, which must
// happen in no namespace but this process's own. Returns true in the process that
// goes on to run the tests: the second process of the new namespace. The first one reaps every
// process orphaned inside it and exits with the test process's status; the calling process waits
// for it and exits with that status too, so callers see one process that ends as the tests did.
// Returns false, having changed nothing, where the kernel or this process's rights refuse it.
//
// The first process of a namespace ends every other one in it when it ends, and it is killed
// when the calling process dies (a test run's timeout), so nothing outlives a killed test process.
inline bool enterPrivateProcesses() {
    if (::unshare(CLONE_NEWPID) != 0) return false;
    const auto waitAndExit = [](pid_t child) {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    };
    const pid_t reaper = ::fork();
    if (reaper < 0) std::abort();  // the namespace is entered and cannot be left
    if (reaper > 0) waitAndExit(reaper);

    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0)
        std::abort();
    const pid_t tests = ::fork();
    if (tests < 0) std::abort();
    if (tests == 0) return true;
    // Reap the orphans too, and exit once the tests' own process has ended.
    for (;;) {
        int status = 0;
        const pid_t ended = ::wait(&status);
        if (ended == tests)
            ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
        if (ended < 0 && errno != EINTR) ::_exit(1);
    }
}

}  // namespace tamrel::test
