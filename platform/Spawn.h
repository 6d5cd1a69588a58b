#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tamrel {

// Runs `program` (an absolute path) with `args`, each handed over as one argument exactly as its
// bytes stand (no shell), with this process's environment and stdin, stdout and stderr on
// /dev/null; waits for it to end. Returns its exit status; -1 when it cannot be started or a
// signal ended it. Thread-safe.
int runProgram(const std::string& program, const std::vector<std::string>& args);

// Runs `program` as runProgram() does, but reads its standard output to the end before waiting
// for it (a child that fills the pipe would otherwise never end). Returns what it wrote, whatever
// its exit status; nothing when it cannot be started. Thread-safe.
std::optional<std::string> programOutput(const std::string& program,
                                         const std::vector<std::string>& args);

}  // namespace tamrel
