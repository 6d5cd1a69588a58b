#include "platform/ProtectedPaths.h"

#include <string>

#include "platform/PathText.h"

namespace tamrel {

bool isProtectedPath(std::string_view path, std::string_view home) {
    const std::string h(home);
    for (const std::string& exact :
         {std::string("/"), h, h + "/Library", h + "/Desktop", h + "/Documents", h + "/Downloads",
          std::string("/Applications"), std::string("/Users"), std::string("/Library")}) {
        if (path == exact) return true;
    }
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

}  // namespace tamrel
