#include <algorithm>

#include "core/query/FileKind.h"
#include "core/space/CleanPlanner.h"
#include "core/space/Suggestions.h"

namespace tamrel {

namespace {

constexpr std::uint32_t settledAge = 259'200;         // 3 days
constexpr std::uint32_t installerAppAge = 1'295'999;  // older means at least 15 whole days

constexpr const char* installerFolders[] = {
    "/Downloads",
    "/Desktop",
    "/Documents",
    "/Library/iTunes",
};

bool isInstallerExt(std::string_view e) {
    return e == "dmg" || e == "pkg" || e == "mpkg" || e == "iso" || e == "xip" || e == "ipsw";
}

}  // namespace

void addInstallersGroup(CleanPlanner& plan) {
    const DiskIndex& index = plan.index;
    std::vector<CleanPlanner::Offer> offers;
    std::vector<NodeId> folders;
    for (const char* folder : installerFolders) {
        for (NodeId f : plan.node(plan.home(folder)))
            folders.push_back(f);
    }
    if (plan.onLinux()) {
        // The user folders of user-dirs.dirs, often translated; one already walked is not
        // walked again.
        for (const std::string& folder : plan.places.userFolders()) {
            for (NodeId f : plan.node(folder)) {
                if (std::find(folders.begin(), folders.end(), f) == folders.end()) {
                    folders.push_back(f);
                }
            }
        }
    }
    for (NodeId f : folders) {
        for (NodeId i : index.subtree(f)) {
            const std::uint8_t k = index.kind(i);
            if ((k & Flag::kindMask) == 1 || (k & Flag::removed)) continue;
            const std::string e = ext(index, i);
            if (!isInstallerExt(e) && !(plan.onLinux() && isLinuxPackageExt(e))) continue;
            const std::uint32_t t = index.mtime(i);
            if (plan.validTime(t) && plan.age(t) >= settledAge) {
                offers.push_back(plan.item(i, true));
            } else {
                offers.push_back(plan.item(i, true, "Downloaded " + plan.dayPhrase(t)));
            }
        }
    }
    for (NodeId n : plan.kids(std::string("/Applications"))) {
        const std::uint32_t t = index.mtime(n);
        if (!index.nameBytes(n).starts_with("Install macOS")) continue;
        if (!plan.validTime(t) || plan.age(t) <= installerAppAge) continue;
        offers.push_back(plan.item(n, true, "System installer"));
    }
    plan.add("installers", plan.text("Installers & firmware", "Installers & disk images"),
             plan.text("Disk images, packages and iPhone updates that already did their job.",
                       "Disk images and .deb, .rpm, Flatpak and Snap packages that already did "
                       "their job."),
             "opticaldiscdrive.fill", CleanGroup::Risk::safe, std::move(offers));
}

}  // namespace tamrel
