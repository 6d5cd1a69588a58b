#pragma once

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace tamrel::bench {

// Points XDG_DATA_HOME at a new folder under $TMPDIR (or /tmp) for the life of the object, so
// that a benchmark's saved indexes never replace the user's; removes what it made afterwards.
class ScratchDataHome {
public:
    ScratchDataHome() {
        const char* base = std::getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/tamrel-bench-XXXXXX";
        if (::mkdtemp(tmpl.data())) path_ = tmpl;
        ::setenv("XDG_DATA_HOME", path_.c_str(), 1);
    }
    ~ScratchDataHome() {
        if (path_.empty()) return;
        const std::string command = "rm -rf -- '" + path_ + "'";
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "cannot remove %s\n", path_.c_str());
    }
    ScratchDataHome(const ScratchDataHome&) = delete;
    ScratchDataHome& operator=(const ScratchDataHome&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Seconds that `f` takes.
template <typename F>
double timed(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Reads "--repeat N" from args (removing it), or returns `fallback`.
inline int takeRepeat(std::vector<std::string>& args, int fallback) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--repeat") {
            const int n = std::atoi(args[i + 1].c_str());
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            return n > 0 ? n : fallback;
        }
    }
    return fallback;
}

}  // namespace tamrel::bench
