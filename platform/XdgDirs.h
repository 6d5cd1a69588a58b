#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace tamrel {

// A user's entry in the password database.
struct UserEntry {
    uid_t uid;
    gid_t gid;
    std::string home;  // as the database gives it; may be empty
};
std::optional<UserEntry> userEntry(uid_t uid);

// The user's home folder: $HOME when set and absolute, else the password database entry of the
// real user id; "" when neither answers.
std::string homeDirectory();

// $XDG_DATA_HOME when set and absolute, else home + "/.local/share"; "" without a home.
std::string dataHome();

// The folder of this application's own data: dataHome() + "/Tamrel".
std::string appDataDirectory();

// The user's home Trash in the freedesktop.org layout: dataHome() + "/Trash".
std::string homeTrashDirectory();

// Makes homeTrashDirectory() and the folders above it that are missing (mode 0700) under this
// process's own rights, as the privileged mover never makes them. Returns the folder, or "" when
// there is no home or it is not a folder afterwards.
std::string makeHomeTrash();

// An XDG base folder for the user whose home folder is `home`: $`variable` when set and
// absolute, else home + `fallback` (xdgBaseDir("XDG_CACHE_HOME", home, "/.cache")); "" when
// neither answers.
std::string xdgBaseDir(const char* variable, const std::string& home, std::string_view fallback);

// The user folder `key` ("DOWNLOAD", "DESKTOP", "DOCUMENTS") as configHome + "/user-dirs.dirs"
// names it (XDG_DOWNLOAD_DIR="$HOME/Téléchargements"), resolved against `home`; nothing when the
// file or the line is missing, the value is neither "$HOME/..." nor absolute, or it names the
// home folder itself (the file's way of switching a folder off) or a folder that holds it.
// Blocking (reads one file).
std::optional<std::string> userDir(std::string_view key, const std::string& home,
                                   const std::string& configHome);

}  // namespace tamrel
