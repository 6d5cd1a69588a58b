#include <algorithm>

#include "core/space/CleanPlanner.h"
#include "core/space/ProjectFolders.h"
#include "core/space/Suggestions.h"

namespace tamrel {

namespace {

constexpr std::uint32_t settledAge = 1'209'600;  // 14 days

// Some ancestor below the root is a hidden tool folder (".npm") or an application bundle.
bool insideToolOrApp(const DiskIndex& index, NodeId node) {
    for (NodeId at = index.parent(node); at != NONE && at != 0; at = index.parent(at)) {
        const std::string_view name = index.nameBytes(at);
        if (!name.empty() && (name.front() == '.' || name.ends_with(".app"))) return true;
    }
    return false;
}

}  // namespace

void addProjectsGroup(CleanPlanner& plan) {
    const DiskIndex& index = plan.index;
    std::vector<CleanPlanner::Offer> offers;
    const std::optional<std::string> inHome = plan.home("/");
    const std::optional<std::string> library = plan.home("/Library/");
    // On Linux also skipped: snaps' homes, Go's read-only module sources and the conda roots,
    // whose package trees are full of "__pycache__".
    std::vector<std::string> skipped;
    if (plan.onLinux()) {
        for (const char* s : {"/snap/", "/go/pkg/mod/", "/miniconda3/", "/anaconda3/",
                              "/miniforge3/", "/mambaforge/"}) {
            if (const auto p = plan.home(s)) skipped.push_back(*p);
        }
    }
    if (inHome) {
        const std::vector<NodeId> found =
            dirsNamed(index, [&index](std::string_view name, NodeId id) {
                return isProjectBuildFolder(index, name, id);
            });
        for (NodeId x : found) {
            const std::string path = index.path(x);
            if (!path.starts_with(*inHome) || path.starts_with(*library)) continue;
            if (std::any_of(skipped.begin(), skipped.end(),
                            [&](const std::string& s) { return path.starts_with(s); })) {
                continue;
            }
            if (insideToolOrApp(index, x)) continue;
            const std::uint32_t t = index.mtime(index.parentOf(x).value_or(x));
            if (plan.validTime(t) && plan.age(t) >= settledAge) {
                offers.push_back(plan.item(x, true));
            } else {
                offers.push_back(plan.item(x, false, "Project changed " + plan.dayPhrase(t)));
            }
        }
    }
    plan.add("projects", "Project build folders",
             "node_modules, build output and virtual environments in your projects. Reinstall or "
             "rebuild to get them back.",
             "shippingbox.fill", CleanGroup::Risk::review, std::move(offers));
}

}  // namespace tamrel
