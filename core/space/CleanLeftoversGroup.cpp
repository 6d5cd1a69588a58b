#include "core/apps/OwnBundleID.h"
#include "core/space/CleanPlanner.h"

namespace tamrel {

namespace {

constexpr std::uint32_t leftoverAge = 2'678'399;  // older means at least 31 whole days

struct LeftoverFolder {
    const char* path;
    std::string_view ending;  // a child's name must end with it; removed before the test
};

constexpr LeftoverFolder leftoverFolders[] = {
    {"/Library/Containers", ""},          {"/Library/Saved Application State", ".savedState"},
    {"/Library/HTTPStorages", ""},        {"/Library/WebKit", ""},
    {"/Library/Application Scripts", ""},
};

// Flatpak keeps "~/.var/app/<id>" after an uninstall unless told to delete the data (the main
// case; it may hold mail or game saves, so never ticked); a snap's "~/snap/<name>" is judged by
// the snap name, which has no dots; in the XDG homes only names of three or more dot-separated
// parts count, since a dotless folder without a desktop file is no sign of an uninstalled
// program. The cache home's own children went to the app caches group first.
void addLinuxLeftovers(CleanPlanner& plan, std::vector<CleanPlanner::Offer>& offers) {
    auto old = [&](NodeId c) {
        const std::uint32_t t = plan.index.mtime(c);
        return plan.validTime(t) && plan.age(t) > leftoverAge;
    };
    for (const char* folder : {"~/.var/app", "%config", "%data", "%state"}) {
        for (NodeId c : plan.kidsAll(folder)) {
            if (!plan.index.isDir(c) || !old(c)) continue;
            const std::string name = plan.index.name(c);
            if (name == ownBundleID || !plan.orphan(name)) continue;
            offers.push_back(plan.item(c, false, name + " isn't installed"));
        }
    }
    for (NodeId c : plan.kidsAll("~/snap")) {
        if (!plan.index.isDir(c) || !old(c)) continue;
        const std::string name = plan.index.name(c);
        if (plan.context.snapInstalled(name)) continue;
        offers.push_back(plan.item(c, false, name + " isn't installed"));
    }
}

}  // namespace

void addLeftoversGroup(CleanPlanner& plan) {
    std::vector<CleanPlanner::Offer> offers;
    for (const LeftoverFolder& folder : leftoverFolders) {
        for (NodeId c : plan.kids(plan.home(folder.path))) {
            const std::uint32_t t = plan.index.mtime(c);
            if (!plan.validTime(t) || plan.age(t) <= leftoverAge) continue;
            std::string name = plan.index.name(c);
            if (!folder.ending.empty()) {
                if (!name.ends_with(folder.ending)) continue;
                name.resize(name.size() - folder.ending.size());
            }
            if (!plan.orphan(name)) continue;
            offers.push_back(plan.item(c, false, name + " isn't installed"));
        }
    }
    if (plan.onLinux()) addLinuxLeftovers(plan, offers);
    plan.add("leftovers", "Leftovers from deleted apps",
             "Data, caches and saved state from apps that are no longer on this computer.",
             "puzzlepiece.extension.fill", CleanGroup::Risk::review, std::move(offers));
}

}  // namespace tamrel
