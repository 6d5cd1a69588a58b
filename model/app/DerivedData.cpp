#include "model/app/DerivedData.h"

#include <exception>

#include "core/query/Biggest.h"
#include "core/query/Breakdown.h"
#include "core/space/VolumeFacts.h"
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
    // What identifies the items the plan ticks by default, recorded as it was made.
    PickedItems picks;
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

DerivedData::DerivedData(ModelContext& context, ShownIndex& shown, CleanUp& cleanUp)
    : context_(context), shown_(shown), cleanUp_(cleanUp) {
    shown_.follow([this](ShownChange& change) { follow(change); });
    context_.announcer.onClosing([this] { startRun(); });
}

int DerivedData::peakRuns() {
    return runsPeak.load();
}

void DerivedData::refreshDerived() {
    if (!shown_.index()) return;
    Batch batch(context_.announcer);
    // The run starts when the operation's writes are done, from the index and folder then
    // shown; a run still computing gives up at its next step and the newest one follows it.
    latest_->fetch_add(1);
    wanted_ = true;
}

void DerivedData::startRun() {
    if (!wanted_ || running_) return;
    wanted_ = false;
    if (!shown_.index()) return;
    running_ = true;
    const std::uint64_t run = latest_->load();
    const std::shared_ptr<std::atomic<std::uint64_t>> latest = latest_;
    const IndexRef index = shown_.index();
    const NodeId under = shown_.current();
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
            if (stillLatest()) {
                const auto& fixed = context_.options.volumeFacts;
                derived->report = tamrel::systemData(
                    *index, home, fixed ? *fixed : VolumeFacts::read(index->rootPath()), profile);
            }
            if (stillLatest()) {
                derived->plan = tamrel::cleanPlan(*index, CleanUp::cleanContext(), cleanMinSize);
                derived->picks = CleanUp::pickDefaults(*index, derived->plan);
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
            if (run != latest_->load() || shown_.index() != index || shown_.current() != under)
                return;
            if (!whole && !failed) return;
            context_.announcer.animated(landedSpring, [&] {
                breakdown.set(batch, std::move(derived->breakdown));
                biggest.set(batch, std::move(derived->biggest));
                tips.set(batch, std::move(derived->tips));
                trashSize.set(batch, derived->trashSize);
                systemReport.set(batch, std::move(derived->report));
                cleanUp_.applyCleanPlan(std::move(derived->plan), derived->picks);
            });
        });
    });
}

void DerivedData::follow(ShownChange& change) {
    Batch batch(context_.announcer);
    if (change.dropped) {
        // Nothing is shown, or nothing was: lists of no generation are not read in this one.
        biggest.set(batch, {});
        tips.set(batch, {});
        systemReport.set(batch, std::nullopt);
    } else if (IdCarrier* carry = change.carry) {
        biggest.set(batch, carry->all(biggest()));
        Suggestions carried = tips();
        for (Suggestion& tip : carried)
            tip.nodes = carry->all(tip.nodes);
        tips.set(batch, std::move(carried));
        if (systemReport()) {
            SystemDataReport report = *systemReport();
            for (SpaceBucket& bucket : report.buckets) {
                bucket.roots = carry->all(bucket.roots);
                // Each item keeps the bytes the report gave it.
                NodeIds top;
                std::vector<std::uint64_t> topBytes;
                for (std::size_t k = 0; k < bucket.top.size() && k < bucket.topBytes.size(); ++k) {
                    if (const auto n = (*carry)(bucket.top[k])) {
                        top.push_back(*n);
                        topBytes.push_back(bucket.topBytes[k]);
                    }
                }
                bucket.top = std::move(top);
                bucket.topBytes = std::move(topBytes);
            }
            systemReport.set(batch, std::move(report));
        }
    }
    refreshDerived();
}

}  // namespace tamrel
