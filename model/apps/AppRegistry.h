#pragma once

#include <sys/types.h>

#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tamrel {

// The applications installed for this user, by bundle identifier: the ".app" bundles in
// systemRoot + "/Applications" and home + "/Applications" (at most three folders deep) under the
// identifiers of their information dictionaries, then the desktop entries of the given folders,
// whose file id ("kde/foo.desktop" is "kde-foo") is their identifier, then the names in the
// given identifier folders (Flatpak application ids, D-Bus service names, GSettings schema ids,
// AppStream metainfo ids: the more sources, the fewer false leftovers). Identifiers compare
// without regard to ASCII case; the first registration of an identifier wins.
//
// The registry is read on first use and read again when one of the folders it listed has
// changed, so an application installed or removed later is seen. A folder changed less than a
// second before it was read may change again without a new modification time (the kernel's
// timestamps are coarse), so until that second has passed every question reads again.
//
// Thread safety: every call takes the registry's lock.
class AppRegistry {
public:
    // A folder whose entries are named by an identifier: the folders in it when `suffix` is
    // empty (Flatpak's "app" folders), else the files whose name ends with `suffix`, which is
    // cut off ("org.example.Tool.service").
    struct IdFolder {
        std::string folder;
        std::string suffix;
        friend bool operator==(const IdFolder&, const IdFolder&) = default;
    };

    AppRegistry(std::string home, std::string systemRoot, std::vector<std::string> entryFolders,
                std::vector<IdFolder> idFolders = {});

    // This process's user: $HOME, the real system folders, $XDG_DATA_HOME/applications and then
    // each $XDG_DATA_DIRS entry + "/applications" (default "/usr/local/share:/usr/share"), and
    // the identifier folders of linuxIdFolders().
    static AppRegistry forCurrentUser();

    // The identifier folders of a Linux system below `systemRoot`: the "app" folders of the
    // system Flatpak installation, of the user's (dataHome + "/flatpak") and of every
    // installation named by a "Path=" line in "/etc/flatpak/installations.d/*.conf"; and, in
    // each of `dataDirs` (dataHome first), "dbus-1/services" (".service"),
    // "glib-2.0/schemas" (".gschema.xml") and "metainfo"/"appdata" (".metainfo.xml",
    // ".appdata.xml"). Blocking (reads the installations.d files).
    static std::vector<IdFolder> linuxIdFolders(const std::string& systemRoot,
                                                const std::string& dataHome,
                                                const std::vector<std::string>& dataDirs);

    // Whether the snap `name` is installed: systemRoot + "/snap/<name>" or
    // "/var/lib/snapd/snap/<name>" exists. True when neither snap folder exists (no snapd, so
    // the registry cannot tell) or the name is not a plain file name. Blocking; thread-safe.
    bool snapInstalled(std::string_view name) const;

    // The bundle folder or desktop entry file registered under `bundleID`, or nothing.
    std::optional<std::string> applicationPath(std::string_view bundleID);

    // An application with this identifier is installed. When none of the registry's folders
    // could be read the registry cannot answer, and this is true: never offer an installed
    // program's data as leftovers.
    bool isInstalled(std::string_view bundleID);

private:
    struct Seen {
        std::string folder;
        timespec mtime{};
        bool present = false;
    };

    void refreshLocked();
    bool staleLocked() const;
    void addBundles(const std::string& folder, int depth);
    void addEntries(const std::string& folder, const std::string& idPrefix);
    void addIds(const IdFolder& folder);
    void watch(const std::string& folder);

    std::string home_;
    std::string root_;
    std::vector<std::string> entryFolders_;
    std::vector<IdFolder> idFolders_;
    std::mutex lock_;
    bool loaded_ = false;
    bool readable_ = false;
    timespec readAt_{};
    std::unordered_map<std::string, std::string> byID_;
    std::vector<Seen> seen_;
};

}  // namespace tamrel
