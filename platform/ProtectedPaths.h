#pragma once

#include <string_view>

namespace tamrel {

// Paths the Trash never takes, compared as exact texts: "/", the home folder and its "/Library",
// "/Desktop", "/Documents" and "/Downloads", "/Applications", "/Users", "/Library"; the home's
// Linux data folders "/.cache", "/.config", "/.local", "/.local/share", "/.local/state", "/.var",
// "/.var/app" and "/snap" themselves (never what is inside them); and anything
// equal to or below "/System", "/usr", "/bin", "/sbin", "/private", "/cores", "/opt" or "/Volumes",
// except what lies below "/Volumes/".
bool isProtectedPath(std::string_view path, std::string_view home);

// Folders of a Linux system that a move with administrator rights never takes, on top of
// isProtectedPath(): anything equal to or below "/etc", "/boot", "/dev", "/proc", "/sys", "/run",
// "/lib", "/lib32", "/lib64", "/libx32", "/var", "/root", "/snap", "/srv", and "/home", "/mnt",
// "/media", "/tmp" themselves.
bool isSystemFolder(std::string_view path);

}  // namespace tamrel
