#include "platform/XdgDirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace tamrel {

namespace {

std::string absoluteEnv(const char* name) {
    const char* v = std::getenv(name);
    if (!v || v[0] != '/') return {};
    return v;
}

}  // namespace

std::string homeDirectory() {
    std::string home = absoluteEnv("HOME");
    if (!home.empty()) return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return {};
}

std::string dataHome() {
    std::string d = absoluteEnv("XDG_DATA_HOME");
    if (!d.empty()) return d;
    const std::string home = homeDirectory();
    if (home.empty()) return {};
    return (home == "/" ? std::string() : home) + "/.local/share";
}

std::string appDataDirectory() {
    const std::string d = dataHome();
    return d.empty() ? d : d + "/Tamrel";
}

std::string homeTrashDirectory() {
    const std::string d = dataHome();
    return d.empty() ? d : d + "/Trash";
}

}  // namespace tamrel
