#include "core/space/CleanPlanner.h"

namespace tamrel {

void addLogsGroup(CleanPlanner& plan) {
    std::vector<CleanPlanner::Offer> offers;
    for (NodeId n : plan.kids(plan.home("/Library/Logs")))
        offers.push_back(plan.item(n, true));
    plan.add("logs", "Logs & crash reports",
             "Records of what apps did and why they crashed. Rarely needed once they're old.",
             "doc.text.magnifyingglass", CleanGroup::Risk::safe, std::move(offers));
}

}  // namespace tamrel
