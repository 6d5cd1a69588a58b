// The Trash basket and the one action that moves nodes of the shown index to the Trash.

#include <algorithm>
#include <unordered_set>

#include "format/Fmt.h"
#include "model/app/AppModel.h"
#include "platform/PathText.h"
#include "platform/TrashMover.h"

namespace tamrel {

namespace {

constexpr Spring basketSpring{0.35, 0.7};
constexpr Spring trashedSpring{0.4, 0.75};

// One node of a trash call with its size when the call began.
struct TrashWork {
    NodeId node = 0;
    std::uint64_t size = 0;
};

}  // namespace

QString AppModel::skippedText(const std::vector<std::string>& names) {
    QStringList shown;
    for (std::size_t i = 0; i < names.size() && i < 3; ++i) {
        shown << QString::fromStdString(names[i]);
    }
    QString text = QStringLiteral("Skipped ") + shown.join(QStringLiteral(", "));
    if (names.size() > 3) text += QStringLiteral(" +") + QString::number(names.size() - 3);
    return text;
}

QString AppModel::refusalText(TrashRefusal refusal, const std::string& why) {
    switch (refusal) {
        case TrashRefusal::none:
            break;
        case TrashRefusal::gone:
            return QStringLiteral("no longer there");
        case TrashRefusal::changed:
            return QStringLiteral("changed since it was picked");
        case TrashRefusal::otherUser:
            return QStringLiteral("belongs to another user");
        case TrashRefusal::permission:
            return QStringLiteral("no permission to move it");
        case TrashRefusal::link:
            return QStringLiteral("a link stands in its path");
        case TrashRefusal::protectedPlace:
            return QStringLiteral("a protected place");
        case TrashRefusal::noTrash:
            return QStringLiteral("on a disk without a Trash");
        case TrashRefusal::rightsRefused:
            return QStringLiteral("administrator rights weren't given");
        case TrashRefusal::failed:
            return QString::fromStdString(why);
    }
    return {};
}

QString AppModel::reasonTail(const std::vector<std::string>& names,
                             const std::vector<QString>& reasons) {
    const auto first = std::find_if(reasons.begin(), reasons.end(),
                                    [](const QString& reason) { return !reason.isEmpty(); });
    if (first == reasons.end()) return {};
    const bool shared = std::all_of(reasons.begin(), reasons.end(),
                                    [&](const QString& reason) { return reason == *first; });
    const auto at = static_cast<std::size_t>(first - reasons.begin());
    QString tail = QStringLiteral(u" \u2014 ");
    if (!shared && at < names.size()) tail += QString::fromStdString(names[at]) + ": ";
    return tail + *first;
}

bool AppModel::isProtected(const std::string& path) {
    return TrashMover::isProtectedPlace(path);
}

bool AppModel::mayPick(NodeId node) const {
    return index() && node != 0 && node < index()->count() && !index()->isGone(node) &&
           !isProtected(index()->path(node));
}

bool AppModel::inBasket(NodeId node) const {
    if (!index() || node >= index()->count()) return false;
    return std::any_of(basket().begin(), basket().end(), [&](NodeId entry) {
        return entry == node || (entry < index()->count() && index()->isAncestor(entry, node));
    });
}

void AppModel::toggleBasket(NodeId node) {
    if (!index() || node >= index()->count()) return;
    announcer_.animated(basketSpring, [&] {
        NodeIds next = basket();
        const auto at = std::find(next.begin(), next.end(), node);
        if (at != next.end()) {
            next.erase(at);
            setBasket(std::move(next));
            return;
        }
        if (node == 0 || inBasket(node) || index()->isGone(node)) return;
        if (!mayPick(node)) {
            const QString name = QString::fromStdString(index()->name(node));
            setToast(Toast::make(QStringLiteral("Can't pick that"),
                                 name + reasonTail({}, {refusalText(TrashRefusal::protectedPlace)}),
                                 false));
            return;
        }
        std::erase_if(next, [&](NodeId entry) { return index()->isAncestor(node, entry); });
        next.push_back(node);
        setBasket(std::move(next));
    });
}

void AppModel::setBasket(NodeIds entries) {
    if (!index()) entries.clear();
    const NodeId count = index() ? index()->count() : 0;
    std::erase_if(entries, [&](NodeId node) { return node == 0 || node >= count; });
    // Quadratic in the entries, each test a range check: a basket of 2,000 takes milliseconds.
    NodeIds kept;
    kept.reserve(entries.size());
    for (NodeId node : entries) {
        const bool covered = std::any_of(entries.begin(), entries.end(), [&](NodeId other) {
            return other != node && index()->isAncestor(other, node);
        });
        if (!covered && std::find(kept.begin(), kept.end(), node) == kept.end())
            kept.push_back(node);
    }
    Batch batch(announcer_);
    basket.set(batch, std::move(kept));
}

std::uint64_t AppModel::basketSize() const {
    if (!index()) return 0;
    std::uint64_t sum = 0;
    for (NodeId node : basket()) {
        if (node < index()->count()) sum += index()->size(node);
    }
    return sum;
}

void AppModel::trash(const NodeIds& nodes, const std::vector<std::string>& skipped) {
    if (!index() || nodes.empty()) return;
    // No node of the shown generation: as an empty list.
    const NodeId count = index()->count();
    if (std::none_of(nodes.begin(), nodes.end(), [count](NodeId node) { return node < count; }))
        return;
    if (context_.refusedWhileBusy()) return;
    startTrash(index(), nodes, skipped);
}

void AppModel::startTrash(const IndexRef& generation, const NodeIds& nodes,
                          const std::vector<std::string>& skipped) {
    // The ids belong to `generation`, which the worker holds: it turns them into paths and
    // expected items there (off the main thread: 1,000 paths of a large index take
    // milliseconds).
    auto work = std::make_shared<std::vector<TrashWork>>();
    work->reserve(nodes.size());
    for (NodeId node : nodes) {
        if (node < generation->count()) work->push_back({node, generation->size(node)});
    }
    if (work->empty()) return;
    const IndexRef index = generation;  // whatever a slot does next
    Batch batch(announcer_);
    trashing.set(batch, true);
    context_.runInBackground([this, index, work, skipped] {
        std::vector<std::string> failures = skipped;
        std::vector<QString> reasons(skipped.size());
        NodeIds moved;
        std::vector<std::string> movedPaths;
        std::uint64_t freed = 0;
        TrashCan& can = context_.trashCan();
        for (const TrashWork& item : *work) {
            if (context_.closing) return;  // quitting: the items not yet moved stay where they are
            const std::string path = index->path(item.node);
            std::lock_guard guard(moveLock_);
            // A node another move has taken (or its folder) may have something else at its path
            // by now: it is reported, never moved.
            TrashResult result;
            if (index->isGone(item.node)) {
                result.refusal = TrashRefusal::gone;
            } else if (isProtected(path)) {
                result.refusal = TrashRefusal::protectedPlace;
            } else {
                result = can.trashPicked(path, expectedItem(*index, item.node));
            }
            if (!result.moved()) {
                failures.push_back(lastComponent(path));
                reasons.push_back(refusalText(result.refusal, result.why));
                continue;
            }
            index->markRemoved(item.node);
            moved.push_back(item.node);
            movedPaths.push_back(path);
            freed += item.size;
        }
        context_.onMainThread([this, index, moved = std::move(moved),
                               movedPaths = std::move(movedPaths), failures = std::move(failures),
                               reasons = std::move(reasons), freed] {
            Batch batch(announcer_);
            trashing.set(batch, false);
            announcer_.animated(trashedSpring, [&] {
                pruneMoved(index, moved, movedPaths);
                const QString bytes = QStringLiteral("Freed ") + Fmt::bytes(freed);
                if (failures.empty()) {
                    const std::size_t n = moved.size();
                    setToast(Toast::make(bytes,
                                         QString::number(n) + (n == 1 ? " item" : " items") +
                                             " moved to the Trash",
                                         true));
                } else if (!moved.empty()) {
                    setToast(Toast::make(
                        bytes, skippedText(failures) + reasonTail(failures, reasons), true));
                } else {
                    setToast(Toast::make(QStringLiteral("Couldn't move that"),
                                         skippedText(failures) + reasonTail(failures, reasons),
                                         false));
                }
            });
            derived_.refreshDerived();
            if (!query().isEmpty()) search_.scheduleSearch();
        });
    });
}

void AppModel::pruneMoved(const IndexRef& from, const NodeIds& moved,
                          const std::vector<std::string>& movedPaths) {
    Batch batch(announcer_);
    revision.set(batch, revision() + 1);
    if (!index()) return;
    std::unordered_set<NodeId> gone;
    if (index() == from) {
        gone.insert(moved.begin(), moved.end());
    } else {
        // Another generation is shown: its ids name other nodes. What moved is found by path;
        // its own refresh will take the paths out of it.
        for (const std::string& path : movedPaths) {
            if (const auto node = index()->lookup(path)) gone.insert(*node);
        }
    }
    if (!gone.empty()) {
        NodeIds kept = basket();
        std::erase_if(kept, [&](NodeId node) { return gone.contains(node); });
        setBasket(std::move(kept));
        NodeSet picked = cleanPicked();
        std::erase_if(picked, [&](NodeId node) { return gone.contains(node); });
        cleanPicked.set(batch, std::move(picked));
    }
    if (current() == 0 || current() >= index()->count()) return;
    if (index() == from) {
        if (index()->isGone(current())) current.set(batch, 0);
        return;
    }
    const std::string here = index()->path(current());
    if (std::any_of(movedPaths.begin(), movedPaths.end(),
                    [&](const std::string& path) { return isAtOrBelow(here, path); })) {
        current.set(batch, 0);
    }
}

}  // namespace tamrel
