// tamrel-bench apps ROOT [--home H] [--runs N]: the application inventory the Apps screen shows
// for the index of ROOT (bundles and AppImages, with the Linux rules of home H, ROOT by default),
// then the time the inventory takes.

#include <QDateTime>

#include <algorithm>
#include <cstdio>

#include "bench/tamrel-bench/BenchModes.h"
#include "bench/tamrel-bench/BenchSupport.h"
#include "core/apps/Leftovers.h"
#include "format/Fmt.h"
#include "model/apps/AppScanner.h"

namespace tamrel::bench {

namespace {

std::string text(const QString& s) {
    return s.toStdString();
}

std::string useText(const InstalledApp& app) {
    if (!app.lastUsedKnown) return "last use unknown";
    if (!app.lastUsed) return "never opened";
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        app.lastUsed->time_since_epoch());
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(ms.count());
    return "used " + text(Fmt::age(at, QDateTime::currentDateTime())) + " (" +
           text(at.toString(Qt::ISODate)) + ")";
}

}  // namespace

int appsMode(const std::vector<std::string>& given) {
    std::vector<std::string> args = given;
    const int runs = static_cast<int>(takeNumber(args, "--runs", 15));
    if (args.empty()) {
        std::fprintf(stderr, "usage: tamrel-bench apps ROOT [--home H] [--runs N]\n");
        return 2;
    }
    const std::string root = args[0];
    args.erase(args.begin());
    const std::string home = takeText(args, "--home", root);
    if (!args.empty()) {
        std::fprintf(stderr, "tamrel-bench apps: unexpected argument %s\n", args[0].c_str());
        return 2;
    }
    auto index = indexForRoot(root);
    if (!index) return 1;
    const RuleProfile profile = RuleProfile::linuxDesktop(home);
    std::vector<InstalledApp> apps = AppScanner::scan(*index, home, "", profile);
    // The screen's first order: the largest application with its leftovers first.
    std::stable_sort(apps.begin(), apps.end(), [](const InstalledApp& a, const InstalledApp& b) {
        return a.appSize + a.leftoverSize > b.appSize + b.leftoverSize;
    });
    for (const InstalledApp& app : apps) {
        std::printf("%s  %s  %s  %s%s\n", app.name.c_str(),
                    app.version.empty() ? "-" : app.version.c_str(),
                    text(Fmt::bytes(app.appSize)).c_str(), useText(app).c_str(),
                    app.appImage ? "  (AppImage)" : "");
        for (NodeId n : app.desktopFiles)
            std::printf("    goes with it  %s\n", index->path(n).c_str());
        for (const Leftover& l : app.leftovers) {
            std::printf("    %s %s  %s  %s\n",
                        leftoverTickedByDefault(l, app.identity.teamExclusive, profile) ? "[x]"
                                                                                       : "[ ]",
                        index->path(l.node).c_str(), std::string(Leftover::linuxLabel(l.kind)).c_str(),
                        text(Fmt::bytes(index->size(l.node))).c_str());
        }
    }
    const auto ms = timeRuns(runs, [&] { AppScanner::scan(*index, home, "", profile); });
    std::printf("apps: %zu  nodes %u  %s\n", apps.size(), index->count(), timingLine(ms).c_str());
    return 0;
}

}  // namespace tamrel::bench
