#include "platform/ProtectedPaths.h"

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/PathText.h"
#include "platform/XdgDirs.h"

namespace tamrel {

namespace {

// The Linux folders of a home that hold every application's data: only what is inside them is
// ever moved.
constexpr std::string_view linuxHomeFolders[] = {
    "/.cache",       "/.config", "/.local",   "/.local/share",
    "/.local/state", "/.var",    "/.var/app", "/snap",
};

bool isLinuxHomeFolder(std::string_view path, std::string_view home) {
    if (home.empty() || !path.starts_with(home)) return false;
    const std::string_view rest = path.substr(home.size());
    for (std::string_view folder : linuxHomeFolders) {
        if (rest == folder) return true;
    }
    return false;
}

// A home folder and the place its links lead to: the two texts a path below it may begin with.
std::vector<std::string> homeNames(const std::string& home) {
    std::vector<std::string> names;
    if (home.empty()) return names;
    names.push_back(home);
    using CString = std::unique_ptr<char, decltype(&std::free)>;
    if (CString real(::realpath(home.c_str(), nullptr), &std::free); real && home != real.get()) {
        names.emplace_back(real.get());
    }
    return names;
}

}  // namespace

bool isProtectedPath(std::string_view path, std::string_view home) {
    const std::string h(home);
    for (const std::string& exact :
         {std::string("/"), h, h + "/Library", h + "/Desktop", h + "/Documents", h + "/Downloads",
          std::string("/Applications"), std::string("/Users"), std::string("/Library")}) {
        if (path == exact) return true;
    }
    if (isLinuxHomeFolder(path, home)) return true;
    for (std::string_view prefix :
         {"/System", "/usr", "/bin", "/sbin", "/private", "/cores", "/opt", "/Volumes"}) {
        if (isAtOrBelow(path, prefix)) return !path.starts_with("/Volumes/");
    }
    return false;
}

bool isSystemFolder(std::string_view path) {
    for (std::string_view folder :
         {"/etc", "/boot", "/dev", "/proc", "/sys", "/run", "/lib", "/lib32", "/lib64", "/libx32",
          "/var", "/root", "/snap", "/srv"}) {
        if (isAtOrBelow(path, folder)) return true;
    }
    for (std::string_view exact : {"/home", "/mnt", "/media", "/tmp"}) {
        if (path == exact) return true;
    }
    return false;
}

bool isElevatedPlace(std::string_view path, std::string_view home) {
    for (std::string_view place : elevatedPlaces) {
        if (path.starts_with(place) && path.size() > place.size()) return true;
    }
    while (home.size() > 1 && home.ends_with('/'))
        home.remove_suffix(1);
    return home.size() > 1 && home.starts_with('/') && isAtOrBelow(path, home) &&
           path.size() > home.size() + 1;
}

bool isProtectedPlace(std::string_view path) {
    // Only absolute paths name one place; anything else is never handed to a mover.
    if (!path.starts_with('/')) return true;
    const std::string home = homeDirectory();
    if (isProtectedPath(path, home)) return true;
    for (const std::string& name : homeNames(home)) {
        if (isProtectedPath(path, name)) return true;
    }
    if (isSystemFolder(path)) {
        // This user's own home is the home wherever it lies: root's /root among the system's
        // folders, a service account's below /var.
        const std::optional<UserEntry> user = userEntry(::geteuid());
        bool own = false;
        for (const std::string& home : homeNames(user ? user->home : std::string())) {
            own = own || (home != "/" && home.starts_with('/') && isAtOrBelow(path, home) &&
                          path.size() > home.size());
        }
        if (!own) return true;
    }
    // The Trash, what lies in it and the folders that hold it; this application's own data.
    // Without a home folder neither is known, and nothing is moved.
    for (const std::string& trash : homeNames(homeTrashDirectory())) {
        if (isAtOrBelow(path, trash) || isAtOrBelow(trash, path)) return true;
    }
    const std::string data = appDataDirectory();
    if (data.empty()) return true;
    for (const std::string& own : homeNames(data)) {
        if (isAtOrBelow(path, own)) return true;
    }
    return false;
}

}  // namespace tamrel
