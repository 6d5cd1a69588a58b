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
    plan.add("leftovers", "Leftovers from deleted apps",
             "Data, caches and saved state from apps that are no longer on this computer.",
             "puzzlepiece.extension.fill", CleanGroup::Risk::review, std::move(offers));
}

}  // namespace tamrel
