#include "model/app/DerivedData.h"

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

int DerivedData::peakRuns() {
    return runsPeak.load();
}

void DerivedData::refreshDerived() {
    if (!model_.index()) return;
    Batch batch(context_.announcer);
    // The run starts when the operation's writes are done, from the index and folder then
    // shown; a run still computing gives up at its next step and the newest one follows it.
    latest_->fetch_add(1);
    wanted_ = true;
}

void DerivedData::startRun() {
    if (!wanted_ || running_) return;
    wanted_ = false;
    if (!model_.index()) return;
    running_ = true;
    const std::uint64_t run = latest_->load();
    const std::shared_ptr<std::atomic<std::uint64_t>> latest = latest_;
    const IndexRef index = model_.index();
    const NodeId under = model_.current();
    context_.runInBackground([this, run, latest, index, under] {
        auto derived = std::make_shared<Derived>();
        bool whole = false;
        bool failed = false;
        try {
            const RunCount counted;
            const auto stillLatest = [&] { return latest->load() == run; };
            const std::string home = homeDirectory();
            const RuleProfile profile = CleanUp::ruleProfile();
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
                derived->plan = tamrel::cleanPlan(*index, CleanUp::cleanContext(), cleanMinSize);
                whole = true;
            }
        } catch (const std::exception&) {
            // Out of memory, most likely. What was worked out is published anyway (empty
            // lists for the rest), so the screens stop waiting for data that will not come.
            failed = true;
        }
        context_.onMainThread([this, run, index, under, derived, whole, failed] {
            Batch batch(context_.announcer);
            running_ = false;
            if (run != latest_->load() || model_.index() != index || model_.current() != under)
                return;
            if (!whole && !failed) return;
            context_.announcer.animated({0.5, 0.85}, [&] {
                model_.breakdown.set(batch, std::move(derived->breakdown));
                model_.biggest.set(batch, std::move(derived->biggest));
                model_.tips.set(batch, std::move(derived->tips));
                model_.trashSize.set(batch, derived->trashSize);
                model_.systemReport.set(batch, std::move(derived->report));
                context_.clean->applyCleanPlan(std::move(derived->plan));
            });
        });
    });
}

void DerivedData::clearLists() {
    Batch batch(context_.announcer);
    model_.results.set(batch, {});
    model_.biggest.set(batch, {});
    model_.tips.set(batch, {});
    model_.systemReport.set(batch, std::nullopt);
    model_.cleanPlan.set(batch, {});
    model_.cleanPicked.set(batch, {});
}

void DerivedData::carryListsOver(const DiskIndex& old, const DiskIndex& next) {
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

    Batch batch(context_.announcer);
    model_.results.set(batch, mapAll(model_.results()));
    model_.biggest.set(batch, mapAll(model_.biggest()));
    Suggestions carried = model_.tips();
    for (Suggestion& tip : carried)
        tip.nodes = mapAll(tip.nodes);
    model_.tips.set(batch, std::move(carried));
    if (model_.systemReport()) {
        SystemDataReport report = *model_.systemReport();
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
        model_.systemReport.set(batch, std::move(report));
    }
    CleanGroups plan = model_.cleanPlan();
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
    model_.cleanPlan.set(batch, std::move(plan));
    NodeSet picked;
    for (NodeId id : model_.cleanPicked()) {
        if (const auto n = map(id)) picked.insert(*n);
    }
    model_.cleanPicked.set(batch, std::move(picked));
}

}  // namespace tamrel
