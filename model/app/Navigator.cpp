#include "model/app/Navigator.h"

#include <exception>

#include "core/saved/SavedIndex.h"
#include "core/scan/ScanThreads.h"
#include "core/scan/Scanner.h"
#include "model/app/AppModel.h"
#include "platform/PathText.h"

namespace tamrel {

namespace {

// "/a/b/" and "/a/b" name one folder; saved indexes are keyed by the text without the slash.
std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

QString nameOf(const std::string& path) {
    return QString::fromStdString(lastComponent(path));
}

}  // namespace

void Navigator::startUp() {
    Batch batch(context_.announcer);
    // The saved index of "/" is loaded once, by refreshVolumes(), and opened
    // from there.
    startingUp_ = true;
    context_.volumes->refreshVolumes();
    if (model_.indexed().contains("/")) scan("/", false);
    startingUp_ = false;
    startUpRoot_.reset();
}

Navigator::Saved Navigator::loadSaved(const std::string& root) {
    Saved saved;
    try {
        saved.index = ModelContext::ownIndex(SavedIndex::load(root, &saved.damaged));
    } catch (const std::exception&) {
        saved.index = nullptr;
    }
    return saved;
}

Navigator::Saved Navigator::savedIndex(const std::string& root) {
    if (root == "/" && startUpRoot_) {
        Saved loaded = std::move(*startUpRoot_);
        startUpRoot_.reset();
        return loaded;
    }
    return loadSaved(root);
}

void Navigator::checkSaved(const IndexRef& index) {
    context_.live->holdSaves(true);
    const std::uint64_t opened = opened_;
    context_.runInBackground([this, index, opened] {
        bool intact = true;
        try {
            intact = SavedIndex::savedFileIntact(*index);
        } catch (const std::exception&) {
            // Memory for the read refused: the file is not known to be damaged.
        }
        context_.onMainThread([this, intact, opened, root = index->rootPath()] {
            if (opened != opened_) return;  // another target was opened since
            if (intact) {
                context_.live->holdSaves(false);
                return;
            }
            // Still unchecked while scan() lets the damaged generation go: nothing of it is
            // saved.
            Batch batch(context_.announcer);
            scan(root, true);
            model_.setToast(damagedToast());
        });
    });
}

Toast Navigator::damagedToast() {
    return Toast::make(QStringLiteral("The saved index was damaged"),
                       QStringLiteral("Scanning again from scratch."), false);
}

std::optional<NodeId> Navigator::enteredFolder(const DiskIndex& index, const std::string& path) {
    const std::optional<NodeId> node = index.lookup(path);
    if (!node || !index.isDir(*node) || index.isGone(*node)) return std::nullopt;
    if (index.kind(*node) & (Flag::mount | Flag::denied)) return std::nullopt;
    return node;
}

void Navigator::replaceShown(const std::string& path) {
    Batch batch(context_.announcer);
    context_.live->stopWatching();
    ++opened_;
    context_.live->holdSaves(false);
    model_.scanTarget.set(batch, path);
    model_.setBasket({});
    model_.setQuery(QString());
}

void Navigator::scan(const std::string& url, bool fresh) {
    const std::string path = withoutTrailingSlash(url);
    Batch batch(context_.announcer);

    // 1. A folder of the index on screen is only navigated to.
    if (!fresh && model_.phase() == Phase::results && model_.index()) {
        if (const auto node = enteredFolder(*model_.index(), path)) {
            model_.scanTarget.set(batch, path);
            if (!model_.query().isEmpty()) model_.setQuery(QString());
            open(*node);
            return;
        }
    }

    // 2. A folder inside the saved whole-disk index is served from it.
    if (!fresh && path != "/") {
        if (IndexRef root = savedIndex("/").index) {
            if (const auto node = enteredFolder(*root, path)) {
                replaceShown(path);
                show(root);
                model_.current.set(batch, *node);
                context_.derived->refreshDerived();
                context_.live->watch(root);
                checkSaved(root);
                return;
            }
        }
    }

    // 3. Anything else replaces what is shown.
    replaceShown(path);

    // 4. The folder's own saved index; a damaged one is scanned afresh, with a toast.
    bool damaged = false;
    if (!fresh) {
        Saved own = savedIndex(path);
        if (own.index) {
            show(own.index);
            context_.live->watch(own.index);
            checkSaved(own.index);
            return;
        }
        damaged = own.damaged;
    }

    // 5. A fresh scan. A cancelled or failed scan is neither shown, saved nor dated: a partial
    // index must never pass for a whole one.
    auto progress = std::make_shared<ScanProgress>();
    model_.progress.set(batch, progress);
    context_.announcer.animated({0.5, 0.8}, [&] { model_.phase.set(batch, Phase::scanning); });
    if (damaged) model_.setToast(damagedToast());
    context_.runInBackground([this, path, progress] {
        IndexRef scanned;
        QString error;
        try {
            scanned =
                ModelContext::ownIndex(Scanner::scan(path, *progress, defaultScanThreads()));
        } catch (const std::exception& e) {
            error = QString::fromLocal8Bit(e.what());
        } catch (...) {
            error = QStringLiteral("The scan failed.");
        }
        context_.onMainThread(
            [this, path, progress, scanned, error] { finishScan(path, progress, scanned, error); });
        if (!scanned || progress->isCancelled()) return;
        try {
            SavedIndex::save(*scanned);
        } catch (const std::exception&) {
            return;  // not dated: the saved file, if any, is an older one
        }
        context_.onMainThread([this, path, scanned] { recordSaved(path, scanned->scannedAt()); });
    });
}

void Navigator::finishScan(const std::string& path, const ProgressRef& progress, IndexRef scanned,
                           const QString& error) {
    // A later scan owns the screen, or another target was opened meanwhile (from a saved
    // index, which leaves `progress` alone): the result runs to its end unseen.
    if (model_.progress() != progress || model_.phase() != Phase::scanning) return;
    Batch batch(context_.announcer);
    if (!scanned || progress->isCancelled()) {
        context_.announcer.animated({0.5, 1.0}, [&] { model_.phase.set(batch, Phase::home); });
        if (!scanned)
            model_.setToast(
                Toast::make(QStringLiteral("Couldn't scan ") + nameOf(path), error, false));
        return;
    }
    show(scanned);
    context_.live->watch(scanned);
}

void Navigator::recordSaved(const std::string& path, std::chrono::system_clock::time_point at) {
    Batch batch(context_.announcer);
    // An entry changed in place is always announced.
    model_.indexed.edit(batch, [&](SavedDates& dates) { dates[path] = at; });
    if (path == "/") context_.volumes->refreshVolumes();
}

void Navigator::chooseFolder() {
    const std::optional<std::string> picked = context_.desktop.chooseFolder(
        QStringLiteral("Scan"), QStringLiteral("Pick a folder to look inside"));
    if (picked) scan(*picked, false);
}

void Navigator::rescan() {
    if (model_.index()) scan(model_.index()->rootPath(), true);
}

void Navigator::show(IndexRef next) {
    Batch batch(context_.announcer);
    const IndexRef old = model_.index();
    model_.index.set(batch, std::move(next));
    model_.setHovered(std::nullopt);
    model_.setBasket({});
    // What the screens show of the previous index (Biggest, the tips, the System Data report,
    // the clean-up plan and its ticks, search results) stays until this index's own values
    // arrive, so a screen never falls back to waiting for them. Their node ids are carried
    // over by path in this same batch (what the new index lacks is dropped): an id is never
    // read in another generation than its own.
    if (old && old != model_.index()) {
        context_.derived->carryListsOver(*old, *model_.index());
    } else if (!old) {
        // Nothing is shown: lists left over from no generation are not read in this one.
        context_.derived->clearLists();
    }
    model_.current.set(batch, 0);
    model_.setTab(Tab::explore);
    context_.derived->refreshDerived();
    // A search typed while a fresh scan ran was of the index shown then: its result is dropped
    // when it comes back, so the query is searched again in the new one.
    if (!model_.query().isEmpty()) context_.search->scheduleSearch();
    context_.announcer.animated({0.55, 0.82}, [&] { model_.phase.set(batch, Phase::results); });
}

void Navigator::open(NodeId node) {
    if (!model_.index() || node >= model_.index()->count() || !model_.index()->isDir(node)) return;
    Batch batch(context_.announcer);
    context_.announcer.animated({0.42, 0.82}, [&] {
        model_.current.set(batch, node);
        model_.setTab(Tab::explore);
        model_.setHovered(std::nullopt);
    });
    if (!model_.query().isEmpty()) model_.setQuery(QString());
    context_.derived->refreshDerived();
}

void Navigator::up() {
    if (!model_.index()) return;
    if (const auto parent = model_.index()->parentOf(model_.current())) open(*parent);
}

NodeIds Navigator::children(NodeId node, std::size_t head) const {
    if (!model_.index() || node >= model_.index()->count()) return {};
    return model_.index()->sortedChildren(node, head);
}

bool Navigator::reveal(NodeId node) {
    if (!model_.index() || node >= model_.index()->count()) return false;
    return context_.desktop.reveal(model_.index()->path(node));
}

bool Navigator::openItem(NodeId node) {
    if (!model_.index() || node >= model_.index()->count()) return false;
    return context_.desktop.open(model_.index()->path(node));
}

bool Navigator::copyPath(NodeId node) {
    if (!model_.index() || node >= model_.index()->count()) return false;
    return context_.desktop.copyText(QString::fromStdString(model_.index()->path(node)));
}

}  // namespace tamrel
