#include <unordered_set>

#include "core/space/CleanPlanner.h"

namespace tamrel {

namespace {

// Cache folders that browsers and Electron applications keep under Application Support.
bool isBrowserCacheName(std::string_view name) {
    static const std::unordered_set<std::string_view> names = {
        "Cache",
        "Code Cache",
        "GPUCache",
        "DawnCache",
        "DawnGraphiteCache",
        "DawnWebGPUCache",
        "GrShaderCache",
        "GraphiteDawnCache",
        "ShaderCache",
        "CachedData",
        "CachedExtensionVSIXs",
        "component_crx_cache",
        "OptGuideOnDeviceModel",
        "CacheStorage",
    };
    return names.contains(name);
}

constexpr int maxDepth = 5;

// Offers the browser cache folders at most five levels below `a`. `owner` is the Flatpak id
// whose configuration folder `a` is (empty otherwise); when that application runs, its caches
// are open too.
void offerBrowserCaches(CleanPlanner& plan, NodeId a, std::string_view owner,
                        std::vector<CleanPlanner::Offer>& offers) {
    const DiskIndex& index = plan.index;
    // Parents come before their descendants, so an outer cache folder is taken before any
    // inside it, which the item test then refuses. Kind and size are tested before the name.
    for (NodeId x : index.subtree(a)) {
        const std::uint8_t k = index.kind(x);
        if ((k & Flag::kindMask) != 1 || (k & Flag::removed)) continue;
        if (index.size(x) < plan.minSize) continue;
        const std::string_view name = index.nameBytes(x);
        if (!isBrowserCacheName(name)) continue;
        if (name == "CacheStorage" && index.nameBytes(index.parent(x)) != "Service Worker") {
            continue;
        }
        NodeId app = x;
        int steps = 1;
        while (index.parent(app) != a) {
            app = index.parent(app);
            ++steps;
        }
        if (steps > maxDepth) continue;
        const std::string appName = index.name(app);
        if (plan.running(appName) || (!owner.empty() && plan.running(owner))) {
            offers.push_back(plan.item(x, false, appName + " is open"));
        } else if (name == "OptGuideOnDeviceModel") {
            offers.push_back(
                plan.item(x, true, "Chrome's on-device AI model; Chrome may download it again"));
        } else {
            offers.push_back(plan.item(x, true));
        }
    }
}

}  // namespace

void addWebGroup(CleanPlanner& plan) {
    std::vector<CleanPlanner::Offer> offers;
    for (NodeId a : plan.node(plan.home("/Library/Application Support"))) {
        offerBrowserCaches(plan, a, {}, offers);
    }
    if (plan.onLinux()) {
        // Chromium browsers and Electron applications keep their profiles in the configuration
        // home; their main disk cache is in the cache home, which the app caches group covers.
        // "~/.local/share" is left out: Wine and Steam trees are full of folders named "Cache".
        for (NodeId a : plan.nodes("%config"))
            offerBrowserCaches(plan, a, {}, offers);
        for (NodeId a : plan.nodes("~/.var/app/*/config")) {
            const std::string flatpak = plan.index.name(plan.index.parent(a));
            offerBrowserCaches(plan, a, flatpak, offers);
        }
    }
    plan.add(
        "web", "Browser & app caches",
        "Page, code and graphics caches kept by Chrome, Slack, VS Code, Cursor and other apps. "
        "They rebuild as you use them.",
        "globe", CleanGroup::Risk::safe, std::move(offers));
}

}  // namespace tamrel
