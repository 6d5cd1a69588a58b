#pragma once

#include <string>

namespace tamrel {

// The user's home folder: $HOME when set and absolute, else the password database entry of the
// real user id; "" when neither answers.
std::string homeDirectory();

// $XDG_DATA_HOME when set and absolute, else home + "/.local/share"; "" without a home.
std::string dataHome();

// The folder of this application's own data: dataHome() + "/Tamrel".
std::string appDataDirectory();

// The user's home Trash in the freedesktop.org layout: dataHome() + "/Trash".
std::string homeTrashDirectory();

}  // namespace tamrel
