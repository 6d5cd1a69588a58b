#pragma once

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/Child.h"
#include "tests/support/TempDir.h"

namespace tamrel::test {

// A copy of sleep(1) inside an application bundle, started as a child of the test. The child
// is killed and reaped when the object goes (by its own pid: the test started it).
class BundleChild {
public:
    BundleChild(const TempDir& dir, const std::string& bundle, bool ignoreTerm) {
        dir.mkdirs(bundle + "/Contents/MacOS");
        exe_ = dir / (bundle + "/Contents/MacOS/worker");
        std::filesystem::copy_file("/bin/sleep", exe_,
                                   std::filesystem::copy_options::overwrite_existing);
        ::chmod(exe_.c_str(), 0755);
        // Returns once the child runs the copy, not the test binary it was forked from.
        pid_ = startProgram([&] {
            // An ignored signal stays ignored across exec.
            if (ignoreTerm) ::signal(SIGTERM, SIG_IGN);
            const char* argv[] = {"worker", "60", nullptr};
            ::execv(exe_.c_str(), const_cast<char**>(argv));
        });
    }
    ~BundleChild() {
        if (reaped_) return;  // the pid may belong to another process by now
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    pid_t pid() const { return pid_; }
    const std::string& exe() const { return exe_; }
    // Reaps the child once it has ended; true when it ended by SIGTERM.
    bool reapedByTerm() {
        int status = 0;
        pid_t got = -1;
        do {
            got = ::waitpid(pid_, &status, 0);
        } while (got < 0 && errno == EINTR);
        if (got != pid_) {
            ADD_FAILURE() << "waitpid " << pid_ << ": " << std::strerror(errno);
            return false;
        }
        reaped_ = true;
        if (!WIFSIGNALED(status)) ADD_FAILURE() << "exit status " << status;
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM;
    }

private:
    std::string exe_;
    pid_t pid_ = 0;
    bool reaped_ = false;
};

}  // namespace tamrel::test
