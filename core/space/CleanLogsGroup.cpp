#include "core/space/CleanPlanner.h"

namespace tamrel {

namespace {

// "<app>/logs" and "<app>/Crash Reports" in the configuration home belong to Chromium and
// Electron applications only when the application folder also holds their "GPUCache" or
// "Code Cache": the test keeps out chat histories such as "hexchat/logs".
void offerElectronLogs(CleanPlanner& plan, std::vector<CleanPlanner::Offer>& offers) {
    const DiskIndex& index = plan.index;
    for (NodeId app : plan.nodes("%config/*")) {
        bool electron = false;
        std::vector<NodeId> logs;
        for (NodeId c : index.children(app)) {
            const std::string_view name = index.nameBytes(c);
            if (name == "GPUCache" || name == "Code Cache") electron = true;
            if ((name == "logs" || name == "Crash Reports") && index.isDir(c)) logs.push_back(c);
        }
        if (!electron) continue;
        for (NodeId n : logs)
            offers.push_back(plan.item(n, true));
    }
}

}  // namespace

void addLogsGroup(CleanPlanner& plan) {
    std::vector<CleanPlanner::Offer> offers;
    for (NodeId n : plan.kids(plan.home("/Library/Logs")))
        offers.push_back(plan.item(n, true));
    if (plan.onLinux()) {
        for (const char* log :
             {"~/.xsession-errors.old", "%data/xorg", "%data/sddm",
              "~/.mozilla/firefox/Crash Reports", "~/.thunderbird/Crash Reports"}) {
            for (NodeId n : plan.nodes(log))
                offers.push_back(plan.item(n, true));
        }
        offerElectronLogs(plan, offers);
        // The running session keeps it open: moving it frees nothing until the next log-in.
        for (NodeId n : plan.nodes("~/.xsession-errors")) {
            offers.push_back(plan.item(n, false, "Your session writes to it until you log out"));
        }
    }
    plan.add("logs", "Logs & crash reports",
             "Records of what apps did and why they crashed. Rarely needed once they're old.",
             "doc.text.magnifyingglass", CleanGroup::Risk::safe, std::move(offers));
}

}  // namespace tamrel
