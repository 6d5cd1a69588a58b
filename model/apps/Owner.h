#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

#include "model/system/Platform.h"

namespace tamrel {

// Names the installed application that owns a folder (a cache, support folder, container or
// dot-folder) from the text of its path, by asking the platform which application holds a bundle
// identifier and by looking for "NAME.app" in the Applications folders. Answers, including "no
// owner", are remembered for the life of the object.
//
// Thread safety: none. The shared object is used on the main thread only (rows ask while they
// are drawn).
class Owner {
public:
    // `platform` must outlive the object. The Applications folders are systemRoot +
    // "/Applications" (empty for the real one) and home + "/Applications".
    Owner(Platform& platform, std::string home, std::string systemRoot = {});

    // The process-wide owner namer over the real platform and the user's home folder.
    static Owner& shared();

    // The bundle path of the application that owns `path`, or nothing.
    std::optional<std::string> app(const std::string& path);

    // Lowercased folder name -> bundle identifier of the application it belongs to.
    static const std::map<std::string, std::string>& aliases();
    // Folders whose children are named after their application.
    static const std::set<std::string>& ownedUnder();

private:
    std::optional<std::string> resolve(const std::string& path);
    std::optional<std::string> lookup(const std::string& name);

    Platform& platform_;
    std::string home_;
    std::string root_;
    // Path -> owner path, "" for no owner. Never shrinks.
    std::unordered_map<std::string, std::string> cache_;
};

}  // namespace tamrel
