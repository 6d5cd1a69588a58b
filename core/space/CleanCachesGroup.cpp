#include <unordered_set>

#include "core/space/CleanPlanner.h"
#include "core/apps/OwnBundleID.h"

namespace tamrel {

namespace {

// Caches of the system and of this application, never offered.
bool isKeptCache(std::string_view name) {
    static const std::unordered_set<std::string_view> names = {
        "com.apple.finder",        "com.apple.dock",         "CloudKit",
        "com.apple.CloudKit",      "FontRegistry",           "com.apple.Spotlight",
        "com.apple.bird",          "com.apple.iCloudHelper", ownBundleID,
        "com.apple.nsurlsessiond", "com.apple.akd",          "com.apple.containermanagerd",
    };
    return names.contains(name);
}

// Folders of the Linux cache homes that are not disposable: Evolution keeps unsynced offline
// edits in its cache, KDE's copies of remote files being edited live in "kioexec", and saved X
// sessions in "sessions". This application's own cache is never offered either.
bool isKeptLinuxCache(std::string_view name) {
    return name == "evolution" || name == "kioexec" || name == "sessions" || name == "Tamrel" ||
           name == "tamrel";
}

// The children of each cache folder of a Linux rule path; `owner` names the Flatpak application
// or snap the folder belongs to (the level the "*" stood for), tested as open too.
void offerLinuxCaches(CleanPlanner& plan, std::string_view rulePath, int ownerLevels,
                      std::vector<CleanPlanner::Offer>& offers) {
    const DiskIndex& index = plan.index;
    for (NodeId folder : plan.nodes(rulePath)) {
        std::string owner;
        if (ownerLevels > 0) {
            NodeId at = folder;
            for (int up = 0; up < ownerLevels && at != NONE; ++up)
                at = index.parent(at);
            if (at != NONE) owner = index.name(at);
        }
        const bool ownerOpen = !owner.empty() && plan.running(owner);
        for (NodeId n : index.children(folder)) {
            if (index.isRemoved(n)) continue;
            const std::string name = index.name(n);
            if (isKeptCache(name) || isKeptLinuxCache(name)) continue;
            offers.push_back(ownerOpen || plan.running(name)
                                 ? plan.item(n, false, "Belongs to an app that's open")
                                 : plan.item(n, true));
        }
    }
}

}  // namespace

void addCachesGroup(CleanPlanner& plan) {
    std::vector<CleanPlanner::Offer> offers;
    for (NodeId n : plan.kids(plan.home("/Library/Caches"))) {
        const std::string name = plan.index.name(n);
        if (isKeptCache(name)) continue;
        offers.push_back(plan.running(name) ? plan.item(n, false, "Belongs to an app that's open")
                                            : plan.item(n, true));
    }
    if (plan.onLinux()) {
        offerLinuxCaches(plan, "%cache", 0, offers);
        offerLinuxCaches(plan, "~/.var/app/*/cache", 1, offers);      // ~/.var/app/<id>/cache
        offerLinuxCaches(plan, "~/snap/*/common/.cache", 2, offers);  // ~/snap/<name>/common
    }
    plan.add("caches", "App caches", "Copies apps keep to load faster. They come back as needed.",
             "sparkles", CleanGroup::Risk::safe, std::move(offers));
}

}  // namespace tamrel
