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

}  // namespace

void addCachesGroup(CleanPlanner& plan) {
    std::vector<CleanPlanner::Offer> offers;
    for (NodeId n : plan.kids(plan.home("/Library/Caches"))) {
        const std::string name = plan.index.name(n);
        if (isKeptCache(name)) continue;
        offers.push_back(plan.running(name) ? plan.item(n, false, "Belongs to an app that's open")
                                            : plan.item(n, true));
    }
    plan.add("caches", "App caches", "Copies apps keep to load faster. They come back as needed.",
             "sparkles", CleanGroup::Risk::safe, std::move(offers));
}

}  // namespace tamrel
