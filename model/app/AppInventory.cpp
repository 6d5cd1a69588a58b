// The installed-application inventory of the shown index: loading, the ordered list, selection.

#include "model/app/AppInventory.h"

#include <QCollator>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>

#include "core/apps/Leftovers.h"
#include "model/app/CleanUp.h"
#include "model/apps/AppScanner.h"

namespace tamrel {

AppInventory::AppInventory(ModelContext& context, ShownIndex& shown)
    : context_(context), shown_(shown) {
    shown_.follow([this](ShownChange& change) { follow(change); });
}

void AppInventory::follow(ShownChange& change) {
    if (!change.moved) return;
    const ShownChange::Moved& moved = *change.moved;
    for (const std::string& path : moved.paths)
        appPicks_.erase(path);
    if (apps().empty()) return;
    // The inventory of the generation the move began with knows what moved by its ids; one of
    // another generation by its path alone.
    const bool sameGeneration = appsIndex_ == moved.from;
    const std::unordered_set<NodeId> ids(moved.ids.begin(), moved.ids.end());
    const std::unordered_set<std::string> paths(moved.paths.begin(), moved.paths.end());
    const auto gone = [&](const InstalledApp& app) {
        return sameGeneration ? ids.contains(app.node) : paths.contains(app.path);
    };
    if (std::none_of(apps().begin(), apps().end(), gone)) return;
    const bool selectedGone =
        selectedApp() && std::any_of(apps().begin(), apps().end(), [&](const InstalledApp& app) {
            return app.node == *selectedApp() && gone(app);
        });
    Batch batch(context_.announcer);
    InstalledApps rest = apps();
    std::erase_if(rest, gone);
    apps.set(batch, std::move(rest));
    if (!selectedGone) return;
    selectedApp.set(batch, std::nullopt);
    const AppRefs sorted = sortedApps();
    if (!sorted.empty()) selectApp(sorted.front()->node);
}

void AppInventory::setLeftoverPicked(NodeSet picked) {
    Batch batch(context_.announcer);
    leftoverPicked.set(batch, std::move(picked));
}

void AppInventory::setAppSort(AppSort sort) {
    Batch batch(context_.announcer);
    appSort.set(batch, sort);
}

void AppInventory::setAppFilter(const QString& filter) {
    Batch batch(context_.announcer);
    appFilter.set(batch, filter);
}

bool AppInventory::inventoryShown() const {
    return shown_.index() && appsIndex_ == shown_.index();
}

void AppInventory::loadApps(bool force) {
    if (!shown_.index()) return;
    if (appsLoading()) {
        // Still one load at a time; but should the running one turn out to be of a generation
        // no longer shown, its result is dropped and this ask is answered after it.
        appsAsked_ = true;
        return;
    }
    if (!force && appsRevision_ == shown_.revision() && !apps().empty() && inventoryShown()) return;
    const IndexRef index = shown_.index();
    const int loadRevision = shown_.revision();
    Batch batch(context_.announcer);
    appsLoading.set(batch, true);
    context_.runInBackground([this, index, loadRevision] {
        RuleProfile profile = CleanUp::ruleProfile();
        InstalledApps found = AppScanner::scan(*index, profile);
        context_.onMainThread([this, index, loadRevision, found = std::move(found),
                               profile = std::move(profile)]() mutable {
            Batch batch(context_.announcer);
            appsLoading.set(batch, false);
            const bool asked = std::exchange(appsAsked_, false);
            if (shown_.index() != index) {
                // Dropped: whoever asked meanwhile (the Apps screen when a new generation came)
                // waits for the inventory of the shown one, which nothing else would start.
                if (asked) loadApps(false);
                return;
            }
            // The selection and the ticks name nodes of the generation the stored inventory came
            // from; an inventory of another generation takes them over by path, never by id.
            const bool otherGeneration = appsIndex_ != index;
            std::optional<std::string> selectedPath;
            std::set<std::string> pickedPaths;
            if (otherGeneration && selectedApp()) {
                for (const InstalledApp& app : apps()) {
                    if (app.node == *selectedApp()) selectedPath = app.path;
                }
                for (NodeId node : leftoverPicked()) {
                    if (appsIndex_ && node < appsIndex_->count()) {
                        pickedPaths.insert(appsIndex_->path(node));
                    }
                }
            }
            appsProfile_ = std::move(profile);
            apps.set(batch, std::move(found));
            appsRevision_ = loadRevision;
            appsIndex_ = index;
            if (otherGeneration) {
                OptionalNode selected;
                NodeSet picked;
                for (const InstalledApp& app : apps()) {
                    if (!selectedPath || app.path != *selectedPath) continue;
                    selected = app.node;
                    for (const Leftover& leftover : app.leftovers) {
                        if (leftover.node < index->count() &&
                            pickedPaths.contains(index->path(leftover.node))) {
                            picked.insert(leftover.node);
                        }
                    }
                    break;
                }
                selectedApp.set(batch, selected);
                setLeftoverPicked(std::move(picked));
            }
            const auto has = [&](NodeId node) {
                return std::any_of(apps().begin(), apps().end(),
                                   [&](const InstalledApp& app) { return app.node == node; });
            };
            if (selectedApp() && !has(*selectedApp())) selectedApp.set(batch, std::nullopt);
            if (!selectedApp()) {
                const AppRefs sorted = sortedApps();
                if (!sorted.empty()) selectApp(sorted.front()->node);
            }
            recordSelected();
        });
    });
}

AppRefs AppInventory::sortedApps() const {
    // Blanks (every space separator, the no-break space included) and tabs only: a line break
    // is part of the filter.
    QString filter = appFilter();
    qsizetype from = 0;
    qsizetype to = filter.size();
    const auto blank = [](QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; };
    while (from < to && blank(filter[from]))
        ++from;
    while (to > from && blank(filter[to - 1]))
        --to;
    filter = filter.mid(from, to - from).toLower();

    AppRefs list;
    list.reserve(apps().size());
    for (const InstalledApp& app : apps()) {
        if (filter.isEmpty() || QString::fromStdString(app.name).toLower().contains(filter) ||
            QString::fromStdString(app.bundleID).toLower().contains(filter)) {
            list.push_back(&app);
        }
    }
    switch (appSort()) {
        case AppSort::size: {
            const auto total = [](const InstalledApp* app) {
                const std::uint64_t sum = app->appSize + app->leftoverSize;
                return sum < app->appSize ? UINT64_MAX : sum;
            };
            std::stable_sort(list.begin(), list.end(),
                             [&](const auto* a, const auto* b) { return total(a) > total(b); });
            break;
        }
        case AppSort::name: {
            QCollator collator;
            collator.setCaseSensitivity(Qt::CaseInsensitive);
            std::vector<std::pair<QCollatorSortKey, const InstalledApp*>> keyed;
            keyed.reserve(list.size());
            for (const InstalledApp* app : list) {
                keyed.emplace_back(collator.sortKey(QString::fromStdString(app->name)), app);
            }
            std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
                return a.first.compare(b.first) < 0;
            });
            for (std::size_t i = 0; i < keyed.size(); ++i)
                list[i] = keyed[i].second;
            break;
        }
        case AppSort::lastUsed: {
            using Time = std::chrono::system_clock::time_point;
            std::stable_sort(list.begin(), list.end(), [](const auto* a, const auto* b) {
                return a->lastUsed.value_or(Time::min()) < b->lastUsed.value_or(Time::min());
            });
            break;
        }
    }
    return list;
}

void AppInventory::selectApp(NodeId node) {
    Batch batch(context_.announcer);
    selectedApp.set(batch, node);
    NodeSet picked;
    const auto app = std::find_if(apps().begin(), apps().end(),
                                  [&](const InstalledApp& a) { return a.node == node; });
    if (app != apps().end()) {
        for (const Leftover& leftover : app->leftovers) {
            if (leftoverTickedByDefault(leftover, app->identity.teamExclusive, appsProfile_)) {
                picked.insert(leftover.node);
            }
        }
    }
    setLeftoverPicked(std::move(picked));
    recordSelected();
}

void AppInventory::recordSelected() {
    PickedItems picks;
    const auto app = std::find_if(apps().begin(), apps().end(), [&](const InstalledApp& a) {
        return selectedApp() && a.node == *selectedApp();
    });
    if (app != apps().end() && appsIndex_) {
        const DiskIndex& index = *appsIndex_;
        const auto record = [&](NodeId node) {
            if (node >= index.count() || index.isGone(node)) return;
            std::string path = index.path(node);
            if (const auto kept = appPicks_.find(path); kept != appPicks_.end()) {
                picks.insert(appPicks_.extract(kept));
                return;
            }
            TrashResult refused;
            ExpectedItem picked = pickedItem(index, node, &refused);
            if (refused.refusal == TrashRefusal::permission &&
                picked.file == std::pair<dev_t, ino_t>{0, 0}) {
                picked = expectedItem(index, node);
            }
            picks.emplace(std::move(path), std::move(picked));
        };
        record(app->node);
        for (NodeId node : app->desktopFiles)
            record(node);
        for (const Leftover& leftover : app->leftovers)
            record(leftover.node);
    }
    appPicks_ = std::move(picks);
}

}  // namespace tamrel
