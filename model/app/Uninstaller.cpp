// Uninstalling an application: closing its running copies, then moving it and its ticked
// leftovers to the Trash.

#include "model/app/Uninstaller.h"

#include <unistd.h>

#include <algorithm>

#include "core/index/IndexWriter.h"
#include "format/Fmt.h"
#include "model/app/BasketAndTrash.h"
#include "model/apps/AppImages.h"
#include "model/system/Processes.h"
#include "platform/PathText.h"

namespace tamrel {

namespace {

constexpr int quitChecks = 30;  // the patience with running copies, in quitCheck

// The running copies of the application, listed by its bundle identifier (with what the
// desktop entry registered under it starts) and by its bundle's path; an AppImage's also by the
// file its processes name as theirs. Never our own process.
std::vector<ProcessInfo> runningCopiesOf(const InstalledApp& app, Platform& platform) {
    std::vector<std::string> programs;
    if (const auto entry = platform.applicationPath(app.bundleID);
        entry && entry->ends_with(".desktop")) {
        if (auto program = Processes::execProgram(*entry)) programs.push_back(std::move(*program));
    }
    const std::vector<ProcessInfo> all = Processes::list();
    std::vector<ProcessInfo> copies = Processes::copiesOf(all, app.bundleID, app.path, programs);
    if (app.appImage) {
        for (const ProcessInfo& p : appImageCopies(all, app.path, appImageMountRoots())) {
            if (std::none_of(copies.begin(), copies.end(),
                             [&](const ProcessInfo& c) { return c.pid == p.pid; })) {
                copies.push_back(p);
            }
        }
    }
    std::erase_if(copies, [](const ProcessInfo& p) { return p.pid == ::getpid(); });
    return copies;
}

// Asks every running copy of the application to quit and waits for them, looking every `check`,
// until `over` or `stop` is set. True when none runs any more.
bool closeRunningCopies(const InstalledApp& app, Platform& platform,
                        std::chrono::milliseconds check, const std::atomic<bool>& over,
                        const std::atomic<bool>& stop) {
    std::vector<ProcessHandle> copies;
    for (const ProcessInfo& p : runningCopiesOf(app, platform)) {
        if (auto handle = ProcessHandle::open(p)) copies.push_back(std::move(*handle));
    }
    if (copies.empty()) return true;
    for (const ProcessHandle& copy : copies)
        copy.terminate();
    while (!over.load() && !stop.load()) {
        const auto running = std::find_if(copies.begin(), copies.end(),
                                          [](const ProcessHandle& c) { return c.running(); });
        if (running == copies.end()) return true;
        running->waitEnded(check);
    }
    return std::none_of(copies.begin(), copies.end(),
                        [](const ProcessHandle& c) { return c.running(); });
}

// An AppImage's items in the home folder go to the Trash under the user's own rights alone, as
// the basket moves them: one that cannot be moved so stays, and is never handed to the
// administrator mover. Items outside the home folder (a tool folder) go through `can` as a
// bundle's do.
Remover::Outcome removeAppImage(TrashCan& can, const std::vector<Remover::Item>& items,
                                Platform& platform, const std::atomic<bool>& stop) {
    Remover::Outcome out;
    std::vector<Remover::Item> system;
    for (const Remover::Item& item : items) {
        if (item.system) {
            system.push_back(item);
            continue;
        }
        TrashResult moved;
        if (stop) {
            moved.refusal = TrashRefusal::failed;
        } else if (item.expected) {
            moved = can.trashPicked(item.path, *item.expected);
        } else if (can.moveToTrash(item.path)) {
            moved.where = item.path;
        }
        if (moved.moved()) {
            out.removed.push_back(item.node);
        } else {
            out.failures.push_back(lastComponent(item.path));
            out.reasons.push_back(moved.refusal);
        }
    }
    if (!system.empty() && !stop) {
        Remover::Outcome elevated = can.remove(system, platform, stop);
        out.removed.insert(out.removed.end(), elevated.removed.begin(), elevated.removed.end());
        out.failures.insert(out.failures.end(), elevated.failures.begin(), elevated.failures.end());
        out.reasons.insert(out.reasons.end(), elevated.reasons.begin(), elevated.reasons.end());
    }
    return out;
}

}  // namespace

Uninstaller::Uninstaller(ModelContext& context, ShownIndex& shown, AppInventory& inventory,
                         Removals& removals, Toasts& toasts)
    : context_(context),
      shown_(shown),
      inventory_(inventory),
      removals_(removals),
      toasts_(toasts),
      quitWait_(context.clock, [this] {
          if (quitOver_) quitOver_->store(true);
      }) {
    quitWait_.setSingleShot(true);
}

void Uninstaller::setConfirmUninstall(bool on) {
    Batch batch(context_.announcer);
    confirmUninstall.set(batch, on);
}

bool Uninstaller::appRunning(const InstalledApp& app) const {
    return !runningCopiesOf(app, context_.platform).empty();
}

void Uninstaller::uninstall(const InstalledApp& app) {
    if (!shown_.index() || removals_.refused()) return;
    // The leftovers' ids name what is moved, with administrator rights outside the home folder:
    // they are used only in the generation the inventory came from, and only for an application
    // the inventory lists that is still where it was.
    const auto stored = std::find_if(
        inventory_.apps().begin(), inventory_.apps().end(),
        [&](const InstalledApp& a) { return a.node == app.node && a.path == app.path; });
    if (!inventory_.inventoryShown() || stored == inventory_.apps().end() ||
        app.node >= shown_.index()->count() || shown_.index()->isGone(app.node) ||
        shown_.index()->path(app.node) != app.path) {
        toasts_.show(Toast::make(QStringLiteral("The list of apps has changed"),
                                 QStringLiteral("Look at it again, then try again"), false));
        inventory_.loadApps(true);
        return;
    }
    // Copied before the first write: a slot told of it may change the inventory.
    const InstalledApp chosen = *stored;
    // Each item moves only while it is what this generation recorded and the very item its
    // detail listed.
    const DiskIndex& shown = *shown_.index();
    const auto item = [&](NodeId node, bool system, std::optional<Leftover::Kind> kind) {
        std::string path = shown.path(node);
        ExpectedItem expected = withIdentity(expectedItem(shown, node), inventory_.appPicks(), path);
        return Remover::Item{node, std::move(path), system, kind, std::move(expected)};
    };
    std::vector<Remover::Item> items{item(chosen.node, false, std::nullopt)};
    // An AppImage's desktop entries and its own icons go with it, never left to a tick; the
    // toast's total counts them as it counts the file.
    std::uint64_t total = chosen.appSize;
    for (NodeId node : chosen.desktopFiles) {
        if (node < shown.count() && !shown.isGone(node)) {
            items.push_back(item(node, false, Leftover::Kind::other));
            total += shown.size(node);
        }
    }
    for (const Leftover& leftover : chosen.leftovers) {
        if (!inventory_.leftoverPicked().contains(leftover.node) ||
            leftover.node >= shown.count() || shown.isGone(leftover.node)) {
            continue;
        }
        items.push_back(item(leftover.node, leftover.system, leftover.kind));
        total += shown.size(leftover.node);
    }
    // The generation of the items, whatever a slot does next.
    removals_.begin(Removals::Kind::uninstall,
                    [this, index = shown_.index(), chosen, items = std::move(items),
                     total]() mutable { remove(index, chosen, std::move(items), total); });
}

void Uninstaller::remove(const IndexRef& index, const InstalledApp& chosen,
                         std::vector<Remover::Item> items, std::uint64_t total) {
    Batch batch(context_.announcer);
    removals_.set(Removals::Kind::uninstall, true);
    const auto over = std::make_shared<std::atomic<bool>>(false);
    quitOver_ = over;
    quitWait_.start(quitChecks * context_.options.quitCheck);
    context_.runInBackground([this, index, app = chosen, items = std::move(items), total, over] {
        if (!closeRunningCopies(app, context_.platform, context_.options.quitCheck, *over,
                                context_.closing)) {
            context_.onMainThread([this, name = QString::fromStdString(app.name)] {
                Batch batch(context_.announcer);
                quitWait_.stop();
                removals_.set(Removals::Kind::uninstall, false);
                toasts_.show(
                    Toast::make(name + " is still open",
                                QStringLiteral("Quit it yourself (it may be asking to save), "
                                               "then try again"),
                                false));
            });
            return;
        }
        Remover::Outcome outcome;
        std::vector<std::string> movedPaths;
        {
            std::lock_guard guard(removals_.moveLock);
            // What a trash call took meanwhile is not asked for again.
            std::vector<Remover::Item> left;
            for (const Remover::Item& item : items) {
                if (!index->isGone(item.node)) left.push_back(item);
            }
            if (!left.empty() && !context_.closing) {
                outcome = app.appImage ? removeAppImage(context_.trashCan(), left,
                                                        context_.platform, context_.closing)
                                       : context_.trashCan().remove(left, context_.platform,
                                                                    context_.closing);
            }
            for (NodeId node : outcome.removed) {
                IndexWriter::markRemoved(*index, node);
                const auto item = std::find_if(left.begin(), left.end(),
                                               [&](const auto& i) { return i.node == node; });
                if (item != left.end()) movedPaths.push_back(item->path);
            }
        }
        const bool bundleGone = std::find(outcome.removed.begin(), outcome.removed.end(),
                                          app.node) != outcome.removed.end();
        context_.onMainThread([this, index, app, outcome = std::move(outcome),
                               movedPaths = std::move(movedPaths), total, bundleGone] {
            Batch batch(context_.announcer);
            quitWait_.stop();
            removals_.set(Removals::Kind::uninstall, false);
            const QString name = QString::fromStdString(app.name);
            context_.announcer.animated(AppInventory::uninstalledSpring, [&] {
                // The inventory follows: the application leaves the list, and when it was the
                // selected one the first of the list is selected in its place.
                shown_.itemsMoved(index, outcome.removed, movedPaths);
                std::vector<QString> reasons;
                for (TrashRefusal reason : outcome.reasons)
                    reasons.push_back(BasketAndTrash::refusalText(reason));
                if (!bundleGone) {
                    // A bundle that did not move under the user's own rights was handed on
                    // to the administrator mover: on Linux the prompt was refused or cancelled,
                    // or pkexec is missing; unless it stayed for a reason of its own.
                    QString why = ModelContext::ruleSet() == RuleSet::linuxDesktop
                                      ? QStringLiteral(
                                            "It needs administrator rights, and they weren't given")
                                      : QStringLiteral("The system didn't allow it to be moved");
                    const auto bundle = std::find(outcome.failures.begin(), outcome.failures.end(),
                                                  lastComponent(app.path));
                    const auto at = static_cast<std::size_t>(bundle - outcome.failures.begin());
                    if (at < reasons.size() && !reasons[at].isEmpty() &&
                        outcome.reasons[at] != TrashRefusal::rightsRefused) {
                        why = reasons[at].left(1).toUpper() + reasons[at].mid(1);
                    }
                    toasts_.show(Toast::make("Couldn't uninstall " + name, why, false));
                    return;
                }
                QString detail;
                if (outcome.failures.empty()) {
                    detail = Fmt::bytes(total) + " moved to the Trash";
                } else {
                    detail = "Couldn't remove " + QString::fromStdString(outcome.failures[0]);
                    if (outcome.failures.size() > 1) {
                        detail += ", " + QString::fromStdString(outcome.failures[1]);
                    }
                    const std::size_t shown = std::min<std::size_t>(outcome.failures.size(), 2);
                    detail += BasketAndTrash::reasonTail(
                        {outcome.failures.begin(), outcome.failures.begin() + shown},
                        {reasons.begin(), reasons.begin() + std::min(shown, reasons.size())});
                }
                toasts_.show(Toast::make(name + " uninstalled", detail, true));
            });
        });
    });
}

}  // namespace tamrel
