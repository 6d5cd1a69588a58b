#include <exception>
#include <unordered_map>

#include "core/query/Biggest.h"
#include "core/query/Breakdown.h"
#include "core/space/VolumeFacts.h"
#include "model/app/AppModel.h"
#include "platform/XdgDirs.h"

namespace tamrel {

namespace {

constexpr std::size_t biggestLimit = 200;
constexpr std::uint64_t tipMinSize = 1'048'576;
constexpr std::uint64_t cleanMinSize = 262'144;

struct Derived {
    KindBytes breakdown;
    NodeIds biggest;
    Suggestions tips;
    std::uint64_t trashSize = 0;
    SystemDataReport report;
    CleanGroups plan;
};

std::atomic<int> runsNow{0};
std::atomic<int> runsPeak{0};

// Counts one computing run for the life of the object.
class RunCount {
public:
    RunCount() {
        const int now = runsNow.fetch_add(1) + 1;
        int peak = runsPeak.load();
        while (now > peak && !runsPeak.compare_exchange_weak(peak, now)) {
        }
    }
    ~RunCount() { runsNow.fetch_sub(1); }
    RunCount(const RunCount&) = delete;
    RunCount& operator=(const RunCount&) = delete;
};

}  // namespace

int AppModel::peakDerivedRuns() {
    return runsPeak.load();
}

void AppModel::refreshDerived() {
    if (!index()) return;
    Batch batch(announcer_);
    // The run starts when the operation's writes are done, from the index and folder then
    // shown; a run still computing gives up at its next step and the newest one follows it.
    derivedLatest_->fetch_add(1);
    derivedWanted_ = true;
}

void AppModel::startDerivedRun() {
    if (!derivedWanted_ || derivedRunning_) return;
    derivedWanted_ = false;
    if (!index()) return;
    derivedRunning_ = true;
    const std::uint64_t run = derivedLatest_->load();
    const std::shared_ptr<std::atomic<std::uint64_t>> latest = derivedLatest_;
    const IndexRef index = this->index();
    const NodeId under = current();
    context_.runInBackground([this, run, latest, index, under] {
        auto derived = std::make_shared<Derived>();
        bool whole = false;
        bool failed = false;
        try {
            const RunCount counted;
            const auto stillLatest = [&] { return latest->load() == run; };
            const std::string home = homeDirectory();
            const RuleProfile profile = ruleProfile();
            derived->breakdown = tamrel::breakdown(*index, under, profile.rules());
            if (stillLatest()) derived->biggest = tamrel::biggestFiles(*index, under, biggestLimit);
            if (stillLatest())
                derived->tips = tamrel::suggestions(*index, home, tipMinSize,
                                                    std::chrono::system_clock::now(), profile);
            if (stillLatest()) derived->trashSize = tamrel::trashSize(*index);
            if (stillLatest())
                derived->report =
                    tamrel::systemData(*index, home, VolumeFacts::read(index->rootPath()), profile);
            if (stillLatest()) {
                derived->plan = tamrel::cleanPlan(*index, cleanContext(), cleanMinSize);
                whole = true;
            }
        } catch (const std::exception&) {
            // Out of memory, most likely. What was worked out is published anyway (empty
            // lists for the rest), so the screens stop waiting for data that will not come.
            failed = true;
        }
        context_.onMainThread([this, run, index, under, derived, whole, failed] {
            Batch batch(announcer_);
            derivedRunning_ = false;
            if (run != derivedLatest_->load() || this->index() != index || current() != under)
                return;
            if (!whole && !failed) return;
            announcer_.animated({0.5, 0.85}, [&] {
                breakdown.set(batch, std::move(derived->breakdown));
                biggest.set(batch, std::move(derived->biggest));
                tips.set(batch, std::move(derived->tips));
                trashSize.set(batch, derived->trashSize);
                systemReport.set(batch, std::move(derived->report));
                applyCleanPlan(std::move(derived->plan));
            });
        });
    });
}

void AppModel::clearLists() {
    Batch batch(announcer_);
    results.set(batch, {});
    biggest.set(batch, {});
    tips.set(batch, {});
    systemReport.set(batch, std::nullopt);
    cleanPlan.set(batch, {});
    cleanPicked.set(batch, {});
}

void AppModel::carryListsOver(const DiskIndex& old, const DiskIndex& next) {
    std::unordered_map<NodeId, std::optional<NodeId>> memo;
    const auto map = [&](NodeId id) -> std::optional<NodeId> {
        if (id >= old.count()) return std::nullopt;
        auto [it, fresh] = memo.try_emplace(id);
        if (fresh) it->second = next.counterpart(old, id);
        return it->second;
    };
    const auto mapAll = [&](const NodeIds& ids) {
        NodeIds out;
        out.reserve(ids.size());
        for (NodeId id : ids) {
            if (const auto n = map(id)) out.push_back(*n);
        }
        return out;
    };

    Batch batch(announcer_);
    results.set(batch, mapAll(results()));
    biggest.set(batch, mapAll(biggest()));
    Suggestions carried = tips();
    for (Suggestion& tip : carried)
        tip.nodes = mapAll(tip.nodes);
    tips.set(batch, std::move(carried));
    if (systemReport()) {
        SystemDataReport report = *systemReport();
        for (SpaceBucket& bucket : report.buckets) {
            bucket.roots = mapAll(bucket.roots);
            // Each item keeps the bytes the report gave it.
            NodeIds top;
            std::vector<std::uint64_t> topBytes;
            for (std::size_t k = 0; k < bucket.top.size() && k < bucket.topBytes.size(); ++k) {
                if (const auto n = map(bucket.top[k])) {
                    top.push_back(*n);
                    topBytes.push_back(bucket.topBytes[k]);
                }
            }
            bucket.top = std::move(top);
            bucket.topBytes = std::move(topBytes);
        }
        systemReport.set(batch, std::move(report));
    }
    CleanGroups plan = cleanPlan();
    for (CleanGroup& group : plan) {
        std::vector<CleanItem> items;
        for (CleanItem item : group.items) {
            if (const auto n = map(item.node)) {
                item.node = *n;
                items.push_back(std::move(item));
            }
        }
        group.items = std::move(items);
    }
    std::erase_if(plan, [](const CleanGroup& g) { return g.items.empty(); });
    cleanPlan.set(batch, std::move(plan));
    NodeSet picked;
    for (NodeId id : cleanPicked()) {
        if (const auto n = map(id)) picked.insert(*n);
    }
    cleanPicked.set(batch, std::move(picked));
}

}  // namespace tamrel
