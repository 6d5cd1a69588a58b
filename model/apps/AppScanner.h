#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/apps/OwnBundleID.h"
#include "core/index/DiskIndex.h"
#include "core/space/RuleProfile.h"
#include "model/apps/InstalledApp.h"

namespace tamrel {

// Lists the installed applications of an index with their identity, version, origin, size and
// leftovers, each leftover given to one application at most. Stateless.
class AppScanner {
public:
    // One InstalledApp per bundle of appBundles(), in that order (unsorted), for the user's home
    // folder and the real system folders; with a Linux `profile`, then one per AppImage of
    // findAppImages(), in its order. Blocking: it reads information dictionaries, desktop
    // entries, file heads and folder listings from the disk, so it runs off the main thread.
    // Never fails: what cannot be read is left out or left empty. Thread-safe; only reads the
    // index. Leftovers are looked for with `profile` (RuleProfile::linuxDesktop(home) on Linux:
    // the XDG homes too); every leftover goes to one application at most, bundle or AppImage.
    static std::vector<InstalledApp> scan(const DiskIndex& index, const RuleProfile& profile = {});
    // The same with the home folder and the root of the system folders given (tests).
    static std::vector<InstalledApp> scan(const DiskIndex& index, const std::string& home,
                                          const std::string& systemRoot,
                                          const RuleProfile& profile = {});

    // Lowercased bundle identifier -> further paths of that application (AppIdentity.extraPaths).
    static const std::map<std::string, std::vector<std::string>>& extras();

private:
    // Names of the ".app" nodes anywhere below the Homebrew Caskroom folders of the index.
    static std::set<std::string> homebrewApps(const DiskIndex& index, const std::string& root);
    // The code-signing team of a bundle: Linux has no code signatures, so never a value.
    static std::optional<std::string> teamID(const std::string& bundlePath);
    // Identifiers of the bundles nested in a bundle (no "sparkle" ones), then its launch
    // services entries.
    static std::vector<std::string> embeddedIDs(const std::string& bundlePath);
    // The last time the bundle was used: Linux keeps no such record, so never a value.
    static std::optional<std::chrono::system_clock::time_point> lastUsed(
        const std::string& bundlePath);
};

}  // namespace tamrel
