#pragma once

#include <time.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/space/RuleProfile.h"
#include "model/apps/InstalledApp.h"
#include "model/system/Processes.h"

namespace tamrel {

// AppImages: single-file applications the user downloaded, runs in place and removes by moving
// the file to the Trash; Linux's counterpart of an application bundle. Programs of the package
// manager, Flatpak and Snap are never AppImages here: their files belong to those tools.
//
// Thread safety: every function is stateless and may be called from any thread.

// What the file name of an AppImage tells: the application's name without the extension, version
// and architecture ("obsidian_1.5.3_x86_64.AppImage" gives "obsidian" and "1.5.3"), and the
// version, or empty. A name that starts with a version is kept whole (without the extension).
struct AppImageName {
    std::string name;
    std::string version;
    friend bool operator==(const AppImageName&, const AppImageName&) = default;
};
AppImageName appImageName(std::string_view fileName);

// When an AppImage was last opened, as its file's times tell.
struct LastUse {
    // False on a file system mounted noatime, which never records an access: then neither a date
    // nor "never opened" can be told.
    bool known = true;
    // The access time when it is later than the change time (the download, a rename, a chmod);
    // nothing otherwise: never opened since.
    std::optional<std::chrono::system_clock::time_point> at;
    friend bool operator==(const LastUse&, const LastUse&) = default;
};
LastUse lastUse(const timespec& atime, const timespec& ctime, bool noatime);

// The keys of the "[Desktop Entry]" group of a desktop entry file that tell which application it
// starts and how the desktop shows it (unlocalised values, escapes resolved).
struct DesktopEntry {
    std::string name;          // Name
    std::string icon;          // Icon: an absolute path or a name in the icon theme
    std::string wmClass;       // StartupWMClass
    std::string appImageName;  // X-AppImage-Name
    std::string version;       // X-AppImage-Version
    std::string tryExec;       // TryExec
    // The program its Exec key starts (Processes::execProgram), or empty.
    std::string program;
};
// Nothing when the file cannot be read or has no "[Desktop Entry]" group. Blocking.
std::optional<DesktopEntry> readDesktopEntry(const std::string& path);

// The folders AppImages mount themselves below while they run ("/tmp/.mount_ObsidiXXXXXX"):
// "/tmp", and $TMPDIR when it is set to another absolute folder.
std::vector<std::string> appImageMountRoots();

// The running copies of the AppImage at `path` among `all` (this user's processes): those whose
// environment (procRoot + "/PID/environ") holds APPIMAGE=<path> (or a path naming the same
// file), the AppImage's own runtime process (its executable is the file), and those that hold
// no APPIMAGE at all but run an executable below one of `mountRoots` + "/.mount_" + the first
// six characters of the file name, where the AppImage mounts its contents. A process whose
// APPIMAGE names another file is never a copy, even below a folder of that prefix: another
// AppImage may share the first six characters. Blocking: reads each process's environment.
std::vector<ProcessInfo> appImageCopies(const std::vector<ProcessInfo>& all,
                                        const std::string& path,
                                        const std::vector<std::string>& mountRoots,
                                        const std::string& procRoot = "/proc");

// The AppImages of the index below `home`, in the order of appImageFiles(): the user's own
// regular files there, outside the package managers' folders, that carry the AppImage magic
// (an ELF file with "AI" and 1 or 2 at bytes 8 to 10) or whose name ends in ".AppImage" (any
// case). Each comes with its name, version, icons, last use, size (its node's allocated bytes)
// and identity from the desktop entries in the data home's "applications" folder (`profile`'s,
// as LinuxPaths gives "%data/applications") whose Exec or TryExec program is the file: their
// desktop ids, StartupWMClass and X-AppImage-Name are its bundle identifiers, their Name= and
// the file name without version and architecture its names. `desktopFiles` holds those entries
// and the icon files below the data home's "icons" that their Icon= resolves to (an absolute
// path, links followed, or a name, every file of that name in the icon theme folders) when no
// entry of another program resolves to the same file. Leftovers, extra paths and the names of other applications are left to the caller
// (AppScanner::scan). Blocking: reads the files' owners, times, first bytes (never changing
// their access times) and the desktop entries. Never fails: what cannot be read is left out.
std::vector<InstalledApp> findAppImages(const DiskIndex& index, const std::string& home,
                                        const RuleProfile& profile);

}  // namespace tamrel
