// The Trash basket and the one action that moves nodes of the shown index to the Trash.

#include "model/app/BasketAndTrash.h"

#include <algorithm>

#include "core/index/IndexWriter.h"
#include "model/removal/TrashToast.h"
#include "platform/PathText.h"
#include "platform/TrashMover.h"

namespace tamrel {

namespace {

// One node of a trash call with its size when the call began.
struct TrashWork {
    NodeId node = 0;
    std::uint64_t size = 0;
};

}  // namespace

QString BasketAndTrash::skippedText(const std::vector<std::string>& names) {
    QStringList shown;
    for (std::size_t i = 0; i < names.size() && i < 3; ++i) {
        shown << QString::fromStdString(names[i]);
    }
    QString text = QStringLiteral("Skipped ") + shown.join(QStringLiteral(", "));
    if (names.size() > 3) text += QStringLiteral(" +") + QString::number(names.size() - 3);
    return text;
}

QString BasketAndTrash::refusalText(TrashRefusal refusal, const std::string& why) {
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

QString BasketAndTrash::reasonTail(const std::vector<std::string>& names,
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

bool BasketAndTrash::isProtected(const std::string& path) {
    return TrashMover::isProtectedPlace(path);
}

bool BasketAndTrash::mayPick(NodeId node) const {
    return shown_.index() && node != 0 && node < shown_.index()->count() &&
           !shown_.index()->isGone(node) && !isProtected(shown_.index()->path(node));
}

bool BasketAndTrash::inBasket(NodeId node) const {
    if (!shown_.index() || node >= shown_.index()->count()) return false;
    return std::any_of(shown_.basket().begin(), shown_.basket().end(), [&](NodeId entry) {
        return entry == node ||
               (entry < shown_.index()->count() && shown_.index()->isAncestor(entry, node));
    });
}

QString BasketAndTrash::pickRefusalText(const TrashResult& refused) {
    if (refused.refusal == TrashRefusal::changed) return QStringLiteral("changed since it was listed");
    return refusalText(refused.refusal, refused.why);
}

QString BasketAndTrash::pickRefusal(NodeId node) const {
    if (!shown_.index() || node >= shown_.index()->count()) return {};
    TrashResult refused = tamrel::pickRefusal(*shown_.index(), node);
    if (refused.refusal == TrashRefusal::none && !mayPick(node))
        refused.refusal = TrashRefusal::protectedPlace;
    return pickRefusalText(refused);
}

void BasketAndTrash::toggleBasket(NodeId node) {
    if (!shown_.index() || node >= shown_.index()->count()) return;
    const DiskIndex& index = *shown_.index();
    context_.announcer.animated(ShownIndex::pickSpring, [&] {
        NodeIds next = shown_.basket();
        const auto at = std::find(next.begin(), next.end(), node);
        if (at != next.end()) {
            next.erase(at);
            picks_.erase(index.path(node));
            shown_.setBasket(std::move(next));
            return;
        }
        if (node == 0 || inBasket(node) || index.isGone(node)) return;
        TrashResult refused;
        ExpectedItem picked = pickedItem(index, node, &refused);
        if (refused.refusal == TrashRefusal::none && !mayPick(node))
            refused.refusal = TrashRefusal::protectedPlace;
        if (refused.refusal != TrashRefusal::none) {
            const QString name = QString::fromStdString(index.name(node));
            toasts_.show(Toast::make(QStringLiteral("Can't pick that"),
                                     name + reasonTail({}, {pickRefusalText(refused)}), false));
            return;
        }
        if (next.empty()) picks_.clear();
        std::erase_if(next, [&](NodeId entry) { return index.isAncestor(node, entry); });
        next.push_back(node);
        picks_.insert_or_assign(index.path(node), std::move(picked));
        shown_.setBasket(std::move(next));
    });
}

void BasketAndTrash::setBasket(NodeIds nodes) {
    PickedItems kept;
    if (const IndexRef& index = shown_.index()) {
        const NodeIds& before = shown_.basket();
        for (NodeId node : nodes) {
            if (node == 0 || node >= index->count()) continue;
            std::string path = index->path(node);
            const auto old = picks_.find(path);
            if (old != picks_.end() && std::find(before.begin(), before.end(), node) != before.end())
                kept.insert(*old);
            else
                kept.insert_or_assign(std::move(path), pickedItem(*index, node));
        }
    }
    picks_ = std::move(kept);
    shown_.setBasket(std::move(nodes));
}

void BasketAndTrash::setConfirmTrash(bool on) {
    Batch batch(context_.announcer);
    confirmTrash.set(batch, on);
}

std::uint64_t BasketAndTrash::basketSize() const {
    return shown_.bytesOf(shown_.basket());
}

void BasketAndTrash::trash(const NodeIds& nodes, const std::vector<std::string>& skipped) {
    if (!shown_.index() || nodes.empty()) return;
    // No node of the shown generation: as an empty list.
    const NodeId count = shown_.index()->count();
    if (std::none_of(nodes.begin(), nodes.end(), [count](NodeId node) { return node < count; }))
        return;
    if (removals_.refused()) return;
    // The picks as the user confirms them.
    removals_.begin(Removals::Kind::trash,
                    [this, index = shown_.index(), nodes, skipped,
                     picks = std::make_shared<const PickedItems>(picks_)] {
                        startTrash(index, nodes, skipped, picks);
                    });
}

void BasketAndTrash::startTrash(const IndexRef& generation, const NodeIds& nodes,
                                const std::vector<std::string>& skipped,
                                std::shared_ptr<const PickedItems> picks) {
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
    removals_.set(Removals::Kind::trash, true);
    context_.runInBackground([this, index, work, skipped, picks = std::move(picks)] {
        std::vector<std::string> failures = skipped;
        std::vector<QString> reasons(skipped.size());
        NodeIds moved;
        std::vector<std::string> movedPaths;
        std::uint64_t freed = 0;
        TrashCan& can = context_.trashCan();
        for (const TrashWork& item : *work) {
            if (context_.closing) return;  // quitting: the items not yet moved stay where they are
            const std::string path = index->path(item.node);
            std::lock_guard guard(removals_.moveLock);
            // A node another move has taken (or its folder) may have something else at its path
            // by now: it is reported, never moved.
            TrashResult result;
            if (index->isGone(item.node)) {
                result.refusal = TrashRefusal::gone;
            } else if (isProtected(path)) {
                result.refusal = TrashRefusal::protectedPlace;
            } else {
                ExpectedItem expected = expectedItem(*index, item.node);
                if (picks) expected = withIdentity(std::move(expected), *picks, path);
                result = can.trashPicked(path, expected);
            }
            if (!result.moved()) {
                failures.push_back(lastComponent(path));
                reasons.push_back(refusalText(result.refusal, result.why));
                continue;
            }
            IndexWriter::markRemoved(*index, item.node);
            moved.push_back(item.node);
            movedPaths.push_back(path);
            freed += item.size;
        }
        context_.onMainThread([this, index, moved = std::move(moved),
                               movedPaths = std::move(movedPaths), failures = std::move(failures),
                               reasons = std::move(reasons), freed] {
            Batch batch(context_.announcer);
            removals_.set(Removals::Kind::trash, false);
            for (const std::string& path : movedPaths)
                picks_.erase(path);
            context_.announcer.animated(ShownIndex::trashedSpring, [&] {
                shown_.itemsMoved(index, moved, movedPaths);
                const QString bytes = trashToastTitle(freed, ModelContext::ruleSet());
                if (failures.empty()) {
                    const std::size_t n = moved.size();
                    toasts_.show(Toast::make(
                        bytes,
                        QString::number(n) + (n == 1 ? " item" : " items") + " moved to the Trash",
                        true));
                } else if (!moved.empty()) {
                    toasts_.show(Toast::make(
                        bytes, skippedText(failures) + reasonTail(failures, reasons), true));
                } else {
                    toasts_.show(Toast::make(QStringLiteral("Couldn't move that"),
                                             skippedText(failures) + reasonTail(failures, reasons),
                                             false));
                }
            });
        });
    });
}

}  // namespace tamrel
