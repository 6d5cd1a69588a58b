#pragma once

#include <string>
#include <vector>

namespace tamrel {

// Runs `program` (an absolute path) with `args`, each handed over as one argument exactly as its
// bytes stand (no shell), with this process's environment and stdin, stdout and stderr on
// /dev/null; waits for it to end. Returns its exit status; -1 when it cannot be started or a
// signal ended it. Thread-safe.
int runProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace tamrel
