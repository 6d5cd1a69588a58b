#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

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

}  // namespace tamrel
