#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace tamrel {

// Runs `program` (an absolute path) with `args`, each handed over as one argument exactly as its
// bytes stand (no shell), with this process's environment and stdin, stdout and stderr on
// /dev/null; waits for it to end. Returns its exit status; -1 when it cannot be started or a
// signal ended it. Thread-safe.
int runProgram(const std::string& program, const std::vector<std::string>& args);

// Runs `program` as runProgram() does while `stop` stays false; `stop` may be set from any thread
// and is looked at every 50 ms. Returns the exit status (-1 when a signal ended it), or nothing
// when `stop` was set first or it cannot be started. Once `stop` is set the child is sent
// SIGTERM: when the signal reaches it the child is waited for, at most one second; when it no
// longer takes signals from this process (it has become a program of another user, as pkexec
// does once it runs its program as root) or outlives that second, it is left to run to its end
// unreaped. Thread-safe.
std::optional<int> runProgramUnlessStopped(const std::string& program,
                                           const std::vector<std::string>& args,
                                           const std::atomic<bool>& stop);

// Runs `program` as runProgram() does, but reads its standard output to the end before waiting
// for it (a child that fills the pipe would otherwise never end). Returns what it wrote, whatever
// its exit status; nothing when it cannot be started. Thread-safe.
std::optional<std::string> programOutput(const std::string& program,
                                         const std::vector<std::string>& args);

}  // namespace tamrel
