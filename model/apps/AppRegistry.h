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
// whose file id ("kde/foo.desktop" is "kde-foo") is their identifier. Identifiers compare without
// regard to ASCII case; the first registration of an identifier wins.
//
// The registry is read on first use and read again when one of the folders it listed has
// changed, so an application installed or removed later is seen. A folder changed less than a
// second before it was read may change again without a new modification time (the kernel's
// timestamps are coarse), so until that second has passed every question reads again.
//
// Thread safety: every call takes the registry's lock.
class AppRegistry {
public:
    AppRegistry(std::string home, std::string systemRoot, std::vector<std::string> entryFolders);

    // This process's user: $HOME, the real system folders, $XDG_DATA_HOME/applications and then
    // each $XDG_DATA_DIRS entry + "/applications" (default "/usr/local/share:/usr/share").
    static AppRegistry forCurrentUser();

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
    void watch(const std::string& folder);

    std::string home_;
    std::string root_;
    std::vector<std::string> entryFolders_;
    std::mutex lock_;
    bool loaded_ = false;
    bool readable_ = false;
    timespec readAt_{};
    std::unordered_map<std::string, std::string> byID_;
    std::vector<Seen> seen_;
};

}  // namespace tamrel
