#include "platform/Spawn.h"

#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace tamrel {
namespace {

// Starts a shell that runs `setup`, writes its pid to `pidFile` and then sleeps for a minute;
// sets `stop` once that file names the pid, from another thread; the stoppable run's result.
// The pid is written after `setup`, so a stop never lands before the setup (a trap) is in force.
std::optional<int> stoppedWhileRunning(const std::string& setup, const std::string& pidFile,
                                       pid_t& pid) {
    std::atomic<bool> stop = false;
    pid = 0;
    std::thread stopper([&] {
        for (int i = 0; i < 10000 && pid == 0; ++i) {
            std::ifstream(pidFile) >> pid;
            if (pid == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        stop = true;
    });
    const auto result =
        runProgramUnlessStopped("/bin/sh",
                                {"-c", setup + "echo $$ > '" + pidFile + "'.part && mv '" +
                                           pidFile + "'.part '" + pidFile +
                                           "' && exec sleep 60"},
                                stop);
    stopper.join();
    return result;
}

TEST(Spawn, AStoppableRunGivesTheExitStatusOfAProgramThatEnds) {
    const std::atomic<bool> never = false;
    EXPECT_EQ(runProgramUnlessStopped("/bin/true", {}, never), 0);
    EXPECT_EQ(runProgramUnlessStopped("/bin/sh", {"-c", "exit 3"}, never), 3);
    EXPECT_EQ(runProgramUnlessStopped("/bin/sh", {"-c", "kill -KILL $$"}, never), -1);
    EXPECT_FALSE(runProgramUnlessStopped("/nonexistent/program", {}, never));
    const std::atomic<bool> already = true;
    EXPECT_FALSE(runProgramUnlessStopped("/bin/true", {}, already));
}

// Stopped, the program is asked to end and is reaped: nothing of it is left running.
TEST(Spawn, AStoppedRunEndsItsProgram) {
    test::TempDir dir;
    pid_t pid = 0;
    EXPECT_FALSE(stoppedWhileRunning("", dir / "pid", pid));
    ASSERT_GT(pid, 0);
    EXPECT_EQ(::kill(pid, 0), -1);  // gone and reaped, not a zombie
    EXPECT_EQ(errno, ESRCH);
}

// A program that does not end on SIGTERM (as pkexec's program, which runs as root, cannot be
// sent it) is left to run: stopping does not wait for it.
TEST(Spawn, AStoppedRunLeavesAProgramThatKeepsRunning) {
    test::TempDir dir;
    pid_t pid = 0;
    EXPECT_FALSE(stoppedWhileRunning("trap '' TERM; ", dir / "pid", pid));
    ASSERT_GT(pid, 0);
    EXPECT_EQ(::kill(pid, 0), 0);
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0);  // still running, still ours to reap
    // The test started it: it ends it by its id.
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
}

}  // namespace
}  // namespace tamrel
