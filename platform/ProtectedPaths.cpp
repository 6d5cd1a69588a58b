#include "platform/ProtectedPaths.h"

#include <string>

#include "platform/PathText.h"

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

}  // namespace tamrel
