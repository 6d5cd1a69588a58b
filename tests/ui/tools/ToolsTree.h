#pragma once

#include <string>

#include "tests/support/TempDir.h"

namespace tamrel::test {

// A home folder at `tree`/home whose contents make the space tools show something everywhere:
// System Data buckets (caches, logs, Trash, developer data, AI models, virtual machines, mail,
// application data), clean-up groups (developer junk, AI models, caches, logs, installers,
// leftovers of an application that is gone) and three applications in home/Applications, the
// largest ("Big") with leftovers of several kinds, one of them outside nothing but the home.
// A 2.6 MB film lies in home/.local/share/Trash/files: written there, or, with `intoTrash`,
// written to home/Videos and moved by the Trash mover into the Trash of XDG_DATA_HOME (which the
// caller points at home/.local/share, so the scanned tree holds a real Trash over 1 MiB).
void makeToolsTree(const TempDir& tree, bool intoTrash = false);

// A home folder of a Linux desktop at `tree`/`home`, in its XDG folders only: application caches
// (one of them, Spotify's, inside its Flatpak home in the app data), developer and model caches,
// a Snap home, browser and Electron caches under .config, a Trash of 2.6 MB, mail, container
// and virtual machine images, X session logs, a project with its node_modules, packages and a
// disk image in Downloads, and a program without an extension in bin.
void makeLinuxHome(const TempDir& tree, const std::string& home = "home");

}  // namespace tamrel::test
