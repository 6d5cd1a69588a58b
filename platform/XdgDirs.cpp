#include "platform/XdgDirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/PathText.h"

namespace tamrel {

namespace {

std::string absoluteEnv(const char* name) {
    const char* v = std::getenv(name);
    if (!v || v[0] != '/') return {};
    return v;
}

}  // namespace

std::optional<UserEntry> userEntry(uid_t uid) {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &found) != 0 || !found) return std::nullopt;
    return UserEntry{uid, found->pw_gid, found->pw_dir ? found->pw_dir : ""};
}

std::string homeDirectory() {
    std::string home = absoluteEnv("HOME");
    if (!home.empty()) return home;
    const std::optional<UserEntry> user = userEntry(::getuid());
    if (user && user->home.starts_with('/')) return user->home;
    return {};
}

std::string xdgBaseDir(const char* variable, const std::string& home, std::string_view fallback) {
    std::string d = absoluteEnv(variable);
    if (!d.empty()) return d;
    if (!home.starts_with('/')) return {};
    return (home == "/" ? std::string() : home) + std::string(fallback);
}

std::optional<std::string> userDir(std::string_view key, const std::string& home,
                                   const std::string& configHome) {
    if (configHome.empty()) return std::nullopt;
    std::ifstream in(configHome + "/user-dirs.dirs");
    const std::string prefix = "XDG_" + std::string(key) + "_DIR=\"";
    std::string line;
    std::optional<std::string> found;
    while (std::getline(in, line)) {
        if (!line.starts_with(prefix) || !line.ends_with('"')) continue;
        std::string value = line.substr(prefix.size(), line.size() - prefix.size() - 1);
        if (value.starts_with("$HOME")) {
            value = (home == "/" ? std::string() : home) + value.substr(5);
        }
        while (value.size() > 1 && value.back() == '/')
            value.pop_back();
        if (!value.starts_with('/') || value == home || home.starts_with(value + "/") ||
            value.find("/../") != std::string::npos) {
            found.reset();
            continue;
        }
        found = std::move(value);  // the last line of a key wins, as the shell would read it
    }
    return found;
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

std::string makeHomeTrash() {
    const std::string trash = homeTrashDirectory();
    const auto parts = pathComponents(trash);
    for (std::size_t n = 1; n <= parts.size(); ++n) {
        ::mkdir(absolutePath(std::span(parts).first(n)).c_str(), 0700);
    }
    struct stat st {};
    if (trash.empty() || ::stat(trash.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    return trash;
}

}  // namespace tamrel
