#pragma once

#include <string>
#include <vector>

namespace tamrel::bench {

// One mode of tamrel-bench: takes the arguments after the mode name, prints its figures on
// stdout and returns the exit status.
using Mode = int (*)(const std::vector<std::string>& args);

int scanMode(const std::vector<std::string>& args);
int saveMode(const std::vector<std::string>& args);
int loadMode(const std::vector<std::string>& args);
int refreshMode(const std::vector<std::string>& args);

// Reads "--threads N" from args (removing it), or returns `fallback`.
int takeThreads(std::vector<std::string>& args, int fallback);

// Peak resident memory of this process so far, in bytes.
long long peakResidentBytes();

}  // namespace tamrel::bench
