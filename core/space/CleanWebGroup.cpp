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

}  // namespace

void addWebGroup(CleanPlanner& plan) {
    const DiskIndex& index = plan.index;
    std::vector<CleanPlanner::Offer> offers;
    const std::vector<NodeId> support = plan.node(plan.home("/Library/Application Support"));
    if (!support.empty()) {
        const NodeId a = support.front();
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
            if (plan.running(appName)) {
                offers.push_back(plan.item(x, false, appName + " is open"));
            } else if (name == "OptGuideOnDeviceModel") {
                offers.push_back(plan.item(
                    x, true, "Chrome's on-device AI model; Chrome may download it again"));
            } else {
                offers.push_back(plan.item(x, true));
            }
        }
    }
    plan.add(
        "web", "Browser & app caches",
        "Page, code and graphics caches kept by Chrome, Slack, VS Code, Cursor and other apps. "
        "They rebuild as you use them.",
        "globe", CleanGroup::Risk::safe, std::move(offers));
}

}  // namespace tamrel
