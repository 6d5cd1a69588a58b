#include <algorithm>

#include "core/space/CleanPlanner.h"

namespace tamrel {

namespace {

constexpr const char* deviceSupportFolders[] = {
    "iOS DeviceSupport",
    "watchOS DeviceSupport",
    "tvOS DeviceSupport",
    "visionOS DeviceSupport",
};

constexpr const char* packageCaches[] = {
    "/.npm/_cacache",
    "/.npm/_npx",
    "/Library/Caches/Yarn",
    "/Library/pnpm/store",
    "/.bun/install/cache",
    "/.cargo/registry/cache",
    "/Library/Caches/CocoaPods",
    "/Library/Caches/Homebrew",
    "/Library/Caches/pip",
    "/.cache/uv",
    "/.cache/pip",
};

// Linux package caches, pure caches the next build fills again (ticked). pip and uv are named
// again below the XDG cache home, which need not be "~/.cache".
constexpr const char* linuxPackageCaches[] = {
    "%cache/pip",          "%cache/uv",       "%cache/yarn",     "%data/pnpm/store",
    "~/.yarn/berry/cache", "%cache/go-build", "%cache/node-gyp", "%cache/composer",
    "%cache/ccache",       "~/.ccache",       "%cache/sccache",  "%cache/electron",
};

// Linux caches that are slow to rebuild or not fetched again by themselves (poetry's holds
// virtualenvs, JetBrains' the index of an IDE that may be running): offered unticked, and
// claimed here so the app caches group never ticks them.
constexpr const char* linuxSlowCaches[] = {
    "%cache/bazel",         "%cache/pypoetry", "%cache/JetBrains",
    "%cache/ms-playwright", "%cache/Cypress",  "~/.nuget/packages",
};

}  // namespace

void addDevGroup(CleanPlanner& plan) {
    const DiskIndex& index = plan.index;
    auto dev = [&](std::string_view suffix) {
        return plan.home("/Library/Developer" + std::string(suffix));
    };
    const bool xcodeOpen = plan.running("com.apple.dt.xcode") || plan.running("xcode");
    std::vector<CleanPlanner::Offer> offers;

    for (NodeId n : plan.kids(dev("/Xcode/DerivedData"))) {
        offers.push_back(xcodeOpen ? plan.item(n, false, "Xcode is open") : plan.item(n, true));
    }
    for (const char* folder : deviceSupportFolders) {
        std::vector<NodeId> versions = plan.kids(dev("/Xcode/" + std::string(folder)));
        std::stable_sort(versions.begin(), versions.end(),
                         [&](NodeId a, NodeId b) { return index.mtime(a) > index.mtime(b); });
        // The two newest are chosen by position, before the item test refuses any.
        for (std::size_t k = 0; k < versions.size(); ++k) {
            offers.push_back(k < 2 ? plan.item(versions[k], false, "One of the two newest, kept")
                                   : plan.item(versions[k], true));
        }
    }
    for (NodeId n : plan.node(dev("/CoreSimulator/Caches")))
        offers.push_back(plan.item(n, true));
    for (NodeId n : plan.kids(dev("/Xcode/Archives"))) {
        offers.push_back(
            plan.item(n, false, "Archived app builds; keep any you may need to resubmit"));
    }
    for (NodeId n : plan.node(dev("/Xcode/Products")))
        offers.push_back(plan.item(n, true));
    for (const char* cache : packageCaches) {
        for (NodeId n : plan.node(plan.home(cache)))
            offers.push_back(plan.item(n, true));
    }
    if (plan.onLinux()) {
        for (const char* cache : linuxPackageCaches) {
            for (NodeId n : plan.nodes(cache))
                offers.push_back(plan.item(n, true));
        }
    }
    for (NodeId n : plan.node(plan.home("/.gradle/caches"))) {
        offers.push_back(
            plan.item(n, false, "Gradle rebuilds this, but the next build will be slow"));
    }
    for (NodeId n : plan.node(plan.home("/go/pkg/mod"))) {
        offers.push_back(plan.item(n, false, "Go downloads modules again on the next build"));
    }
    if (plan.onLinux()) {
        for (const char* cache : linuxSlowCaches) {
            for (NodeId n : plan.nodes(cache))
                offers.push_back(plan.item(n, false));
        }
    }
    for (NodeId n : plan.node(dev("/CoreSimulator/Devices"))) {
        offers.push_back(plan.item(n, false, "Simulators and the app data inside them"));
    }
    if (plan.onLinux()) {
        for (NodeId n : plan.nodes("~/.android/avd"))
            offers.push_back(plan.item(n, false, "Emulators and the app data inside them"));
    }
    plan.add("dev", "Developer junk",
             plan.text("Build products, old device symbols and package caches. Your tools rebuild "
                       "them when needed.",
                       "Package and compiler caches of npm, pip, Cargo, Go and Gradle. Your tools "
                       "rebuild them when needed."),
             "hammer.fill", CleanGroup::Risk::safe, std::move(offers));
}

}  // namespace tamrel
