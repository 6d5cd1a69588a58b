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

// The folders below which the mover with administrator rights takes items: the system folders
// the model removes from, where application bundles and their system-wide support files live.
// This is the one list of them; a place the model learns to remove from is added here, with its
// trailing "/". On Linux, what lies under /usr, /opt, /etc and /var belongs to the package
// manager, which removes it itself: no such folder is listed.
inline constexpr std::string_view elevatedPlaces[] = {"/Applications/", "/Library/"};

// The gate of the mover with administrator rights: true when `path` (absolute, without empty,
// "." or ".." components) lies strictly below one of elevatedPlaces, or strictly below `home`,
// the home folder of the user the items go to (where a move under the user's own rights may
// fail on a file of root's). A `home` that is empty, relative or "/" adds nothing. The deny-lists
// above still apply on top.
bool isElevatedPlace(std::string_view path, std::string_view home);

// A place the Trash never takes under the user's own rights (TrashMover::isProtectedPlace()):
// a relative path; a protected path (isProtectedPath() with the home folder as $HOME gives it
// and as its links resolve); a system folder (isSystemFolder()) unless it lies below this
// user's own home folder as the password database gives it (a root session's /root); the home
// Trash, what lies in it and the folders that hold it; this application's own data folder.
// Without a home folder everything is. Reads the password database and resolves the home
// folders' links. Thread-safe.
bool isProtectedPlace(std::string_view path);

}  // namespace tamrel
