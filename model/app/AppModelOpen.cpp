#include <exception>

#include "core/scan/ScanThreads.h"
#include "model/app/AppModel.h"

namespace tamrel {

namespace {

// "/a/b/" and "/a/b" name one folder; saved indexes are keyed by the text without the slash.
std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

QString nameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    return QString::fromStdString(last.empty() ? path : last);
}

}  // namespace

AppModel::Saved AppModel::loadSaved(const std::string& root) {
    Saved saved;
    try {
        saved.index = ModelContext::ownIndex(DiskIndex::load(root, &saved.damaged));
    } catch (const std::exception&) {
        saved.index = nullptr;
    }
    return saved;
}

AppModel::Saved AppModel::savedIndex(const std::string& root) {
    if (root == "/" && startUpRoot_) {
        Saved loaded = std::move(*startUpRoot_);
        startUpRoot_.reset();
        return loaded;
    }
    return loadSaved(root);
}

void AppModel::checkSaved(const IndexRef& index) {
    liveSync_.holdSaves(true);
    const std::uint64_t opened = opened_;
    context_.runInBackground([this, index, opened] {
        bool intact = true;
        try {
            intact = index->savedFileIntact();
        } catch (const std::exception&) {
            // Memory for the read refused: the file is not known to be damaged.
        }
        context_.onMainThread([this, intact, opened, root = index->rootPath()] {
            if (opened != opened_) return;  // another target was opened since
            if (intact) {
                liveSync_.holdSaves(false);
                return;
            }
            // Still unchecked while scan() lets the damaged generation go: nothing of it is
            // saved.
            Batch batch(announcer_);
            scan(root, true);
            setToast(damagedToast());
        });
    });
}

Toast AppModel::damagedToast() {
    return Toast::make(QStringLiteral("The saved index was damaged"),
                       QStringLiteral("Scanning again from scratch."), false);
}

std::optional<NodeId> AppModel::enteredFolder(const DiskIndex& index, const std::string& path) {
    const std::optional<NodeId> node = index.lookup(path);
    if (!node || !index.isDir(*node) || index.isGone(*node)) return std::nullopt;
    if (index.kind(*node) & (Flag::mount | Flag::denied)) return std::nullopt;
    return node;
}

void AppModel::scan(const std::string& url, bool fresh) {
    const std::string path = withoutTrailingSlash(url);
    Batch batch(announcer_);

    // 1. A folder of the index on screen is only navigated to.
    if (!fresh && phase() == Phase::results && index()) {
        if (const auto node = enteredFolder(*index(), path)) {
            scanTarget.set(batch, path);
            if (!query().isEmpty()) setQuery(QString());
            open(*node);
            return;
        }
    }

    // 2. A folder inside the saved whole-disk index is served from it.
    if (!fresh && path != "/") {
        if (IndexRef root = savedIndex("/").index) {
            if (const auto node = enteredFolder(*root, path)) {
                liveSync_.stopWatching();
                ++opened_;
                liveSync_.holdSaves(false);
                scanTarget.set(batch, path);
                setBasket({});
                setQuery(QString());
                show(root);
                current.set(batch, *node);
                derived_.refreshDerived();
                liveSync_.watch(root);
                checkSaved(root);
                return;
            }
        }
    }

    // 3. Anything else replaces what is shown.
    liveSync_.stopWatching();
    ++opened_;
    liveSync_.holdSaves(false);
    scanTarget.set(batch, path);
    setBasket({});
    setQuery(QString());

    // 4. The folder's own saved index; a damaged one is scanned afresh, with a toast.
    bool damaged = false;
    if (!fresh) {
        Saved own = savedIndex(path);
        if (own.index) {
            show(own.index);
            liveSync_.watch(own.index);
            checkSaved(own.index);
            return;
        }
        damaged = own.damaged;
    }

    // 5. A fresh scan. A cancelled or failed scan is neither shown, saved nor dated: a partial
    // index must never pass for a whole one.
    auto progress = std::make_shared<ScanProgress>();
    this->progress.set(batch, progress);
    announcer_.animated({0.5, 0.8}, [&] { phase.set(batch, Phase::scanning); });
    if (damaged) setToast(damagedToast());
    context_.runInBackground([this, path, progress] {
        IndexRef scanned;
        QString error;
        try {
            scanned =
                ModelContext::ownIndex(DiskIndex::scan(path, *progress, defaultScanThreads()));
        } catch (const std::exception& e) {
            error = QString::fromLocal8Bit(e.what());
        } catch (...) {
            error = QStringLiteral("The scan failed.");
        }
        context_.onMainThread(
            [this, path, progress, scanned, error] { finishScan(path, progress, scanned, error); });
        if (!scanned || progress->isCancelled()) return;
        try {
            scanned->save();
        } catch (const std::exception&) {
            return;  // not dated: the saved file, if any, is an older one
        }
        context_.onMainThread([this, path, scanned] { recordSaved(path, scanned->scannedAt()); });
    });
}

void AppModel::finishScan(const std::string& path, const ProgressRef& progress, IndexRef scanned,
                          const QString& error) {
    // A later scan owns the screen, or another target was opened meanwhile (from a saved
    // index, which leaves `progress` alone): the result runs to its end unseen.
    if (this->progress() != progress || phase() != Phase::scanning) return;
    Batch batch(announcer_);
    if (!scanned || progress->isCancelled()) {
        announcer_.animated({0.5, 1.0}, [&] { phase.set(batch, Phase::home); });
        if (!scanned)
            setToast(Toast::make(QStringLiteral("Couldn't scan ") + nameOf(path), error, false));
        return;
    }
    show(scanned);
    liveSync_.watch(scanned);
}

void AppModel::recordSaved(const std::string& path, std::chrono::system_clock::time_point at) {
    Batch batch(announcer_);
    // An entry changed in place is always announced.
    indexed.edit(batch, [&](SavedDates& dates) { dates[path] = at; });
    if (path == "/") volumesAndPlaces_.refreshVolumes();
}

void AppModel::chooseFolder() {
    const std::optional<std::string> picked = desktop_.chooseFolder(
        QStringLiteral("Scan"), QStringLiteral("Pick a folder to look inside"));
    if (picked) scan(*picked, false);
}

void AppModel::rescan() {
    if (index()) scan(index()->rootPath(), true);
}

void AppModel::show(IndexRef next) {
    Batch batch(announcer_);
    const IndexRef old = index();
    index.set(batch, std::move(next));
    setHovered(std::nullopt);
    setBasket({});
    // What the screens show of the previous index (Biggest, the tips, the System Data report,
    // the clean-up plan and its ticks, search results) stays until this index's own values
    // arrive, so a screen never falls back to waiting for them. Their node ids are carried
    // over by path in this same batch (what the new index lacks is dropped): an id is never
    // read in another generation than its own.
    if (old && old != index()) {
        derived_.carryListsOver(*old, *index());
    } else if (!old) {
        // Nothing is shown: lists left over from no generation are not read in this one.
        derived_.clearLists();
    }
    current.set(batch, 0);
    setTab(Tab::explore);
    derived_.refreshDerived();
    // A search typed while a fresh scan ran was of the index shown then: its result is dropped
    // when it comes back, so the query is searched again in the new one.
    if (!query().isEmpty()) search_.scheduleSearch();
    announcer_.animated({0.55, 0.82}, [&] { phase.set(batch, Phase::results); });
}

void AppModel::open(NodeId node) {
    if (!index() || node >= index()->count() || !index()->isDir(node)) return;
    Batch batch(announcer_);
    announcer_.animated({0.42, 0.82}, [&] {
        current.set(batch, node);
        setTab(Tab::explore);
        setHovered(std::nullopt);
    });
    if (!query().isEmpty()) setQuery(QString());
    derived_.refreshDerived();
}

void AppModel::up() {
    if (!index()) return;
    if (const auto parent = index()->parentOf(current())) open(*parent);
}

NodeIds AppModel::children(NodeId node, std::size_t head) const {
    if (!index() || node >= index()->count()) return {};
    return index()->sortedChildren(node, head);
}

bool AppModel::reveal(NodeId node) {
    if (!index() || node >= index()->count()) return false;
    return desktop_.reveal(index()->path(node));
}

bool AppModel::openItem(NodeId node) {
    if (!index() || node >= index()->count()) return false;
    return desktop_.open(index()->path(node));
}

bool AppModel::copyPath(NodeId node) {
    if (!index() || node >= index()->count()) return false;
    return desktop_.copyText(QString::fromStdString(index()->path(node)));
}

}  // namespace tamrel
