#pragma once

#include <string>
#include <vector>

namespace tamrel::bench {

// One mode of tamrel-bench: takes the arguments after the mode name, prints its figures on
// stdout and returns the exit status.
using Mode = int (*)(const std::vector<std::string>& args);

int scanMode(const std::vector<std::string>& args);
int planMode(const std::vector<std::string>& args);
int systemDataMode(const std::vector<std::string>& args);
int searchMode(const std::vector<std::string>& args);
int biggestMode(const std::vector<std::string>& args);
int breakdownMode(const std::vector<std::string>& args);
int saveMode(const std::vector<std::string>& args);
int loadMode(const std::vector<std::string>& args);
int refreshMode(const std::vector<std::string>& args);
#ifdef TAMREL_BENCH_MODEL
int modelMode(const std::vector<std::string>& args);
int liveMode(const std::vector<std::string>& args);
int appsMode(const std::vector<std::string>& args);
#endif

}  // namespace tamrel::bench
