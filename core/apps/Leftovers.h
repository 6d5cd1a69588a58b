#pragma once

#include <string_view>
#include <vector>

#include "core/apps/AppIdentity.h"
#include "core/apps/Leftover.h"
#include "core/index/DiskIndex.h"
#include "core/space/RuleProfile.h"

namespace tamrel {

// Both searches read the index only (names, children, ranges, kind bytes, sizes); nothing touches
// the disk. `home` is the user's home folder without a trailing "/". The system-wide folders
// ("/Applications", "/Library/...") are looked up below `systemRoot`, which is empty for the real
// ones; a test points it at a temporary tree. A folder the index does not hold contributes
// nothing; neither search fails.
//
// Thread safety: safe on any thread while the index lives; a concurrent
// IndexWriter::markRemoved() may or may not be seen.

// The application bundles: ".app" folders at most three levels below systemRoot +
// "/Applications", then below home + "/Applications", each in depth-first index order. A bundle
// is never entered, so bundles nested in another are not listed; removed folders are skipped.
std::vector<NodeId> appBundles(const DiskIndex& index, std::string_view home,
                               std::string_view systemRoot = {});

// The home folders that hold AppImages: ~/Applications, ~/AppImages, ~/Apps, ~/.local/bin,
// ~/bin and ~/opt, in this order.
const std::vector<std::string_view>& appImageFolders();

// The files that may be AppImages: the regular files (neither folders nor links, not removed)
// directly in each of home + appImageFolders(), then those in the folders directly inside it
// (".app" bundles and removed folders excepted), each folder's in index order. A link is never
// followed: the file it points to is listed only when it lies in one of these folders itself.
// Whether a file is an AppImage, and the user's own, takes its owner and contents, which the
// index does not hold: the caller looks.
std::vector<NodeId> appImageFiles(const DiskIndex& index, std::string_view home);

// The items that the application described by `app` keeps outside its bundle, found by bundle
// identifier, name and team in the user's Library, a few home folders, `app.extraPaths` and the
// system Library; each node listed once, none inside another, none already removed (itself or an
// ancestor). Largest first; equal sizes keep the order the rules found them in. Absolute entries
// of extraPaths are taken below `systemRoot`, "~" entries below home.
//
// With a Linux `profile`, the user's rows also look, after the Library ones, in the XDG homes
// (data as "App data", cache as "Caches", config and KDE's "<name>rc" as "Preferences", state
// and "<name>staterc" as "Saved state", by identifier or name), in "~/.var/app" (Flatpak, by
// identifier) and "~/snap" (app.snapName, exact) as "Containers", in the config home's
// "autostart" ("<id or name>.desktop") as "Launch agents", and in the vendor folders of the data,
// cache and config homes; words every desktop shares ("applications", "icons", "keyrings",
// "dconf", "flatpak"...) are never name matches. Nothing under /etc, /usr, /var or /opt is
// looked at: those files belong to the package manager.
std::vector<Leftover> leftovers(const DiskIndex& index, const AppIdentity& app,
                                std::string_view home, std::string_view systemRoot = {},
                                const RuleProfile& profile = {});

// Whether a leftover of an installed application is ticked when the application is selected.
// A shared group container only when the application is `teamExclusive`; with the designed
// profile every other leftover. With the Linux profile, identifier matches and name matches in
// the cache home are ticked, while a name match in the config, data or state home is offered
// unticked: it may be a dotfile kept in git, a command-line tool of the same name, or unsaved
// work (Neovim's "~/.local/state/nvim" holds the swap files of unsaved edits).
bool leftoverTickedByDefault(const Leftover& leftover, bool teamExclusive,
                             const RuleProfile& profile);

}  // namespace tamrel
