#include <exception>

#include "core/scan/ScanThreads.h"
#include "core/scan/Scanner.h"
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
        saved.index = ownIndex(SavedIndex::load(root, &saved.damaged));
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
    savedUnchecked_ = true;
    const std::uint64_t opened = opened_;
    runInBackground([this, index, opened] {
        bool intact = true;
        try {
            intact = SavedIndex::savedFileIntact(*index);
        } catch (const std::exception&) {
            // Memory for the read refused: the file is not known to be damaged.
        }
        onMainThread([this, intact, opened, root = index->rootPath()] {
            if (opened != opened_) return;  // another target was opened since
            if (intact) {
                savedUnchecked_ = false;
                if (unsaved_) saveLater();
                return;
            }
            // Still unchecked while scan() lets the damaged generation go: nothing of it is
            // saved.
            Batch batch(*this);
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
    Batch batch(*this);

    // 1. A folder of the index on screen is only navigated to.
    if (!fresh && phase_ == Phase::results && index_) {
        if (const auto node = enteredFolder(*index_, path)) {
            setScanTarget(path);
            if (!query_.isEmpty()) setQuery(QString());
            open(*node);
            return;
        }
    }

    // 2. A folder inside the saved whole-disk index is served from it.
    if (!fresh && path != "/") {
        if (IndexRef root = savedIndex("/").index) {
            if (const auto node = enteredFolder(*root, path)) {
                stopWatching();
                ++opened_;
                savedUnchecked_ = false;
                setScanTarget(path);
                setBasket({});
                setQuery(QString());
                show(root);
                setCurrent(*node);
                refreshDerived();
                watch(root);
                checkSaved(root);
                return;
            }
        }
    }

    // 3. Anything else replaces what is shown.
    stopWatching();
    ++opened_;
    savedUnchecked_ = false;
    setScanTarget(path);
    setBasket({});
    setQuery(QString());

    // 4. The folder's own saved index; a damaged one is scanned afresh, with a toast.
    bool damaged = false;
    if (!fresh) {
        Saved own = savedIndex(path);
        if (own.index) {
            show(own.index);
            watch(own.index);
            checkSaved(own.index);
            return;
        }
        damaged = own.damaged;
    }

    // 5. A fresh scan. A cancelled or failed scan is neither shown, saved nor dated: a partial
    // index must never pass for a whole one.
    auto progress = std::make_shared<ScanProgress>();
    setProgress(progress);
    animated({0.5, 0.8}, [this] { setPhase(Phase::scanning); });
    if (damaged) setToast(damagedToast());
    runInBackground([this, path, progress] {
        IndexRef scanned;
        QString error;
        try {
            scanned = ownIndex(Scanner::scan(path, *progress, defaultScanThreads()));
        } catch (const std::exception& e) {
            error = QString::fromLocal8Bit(e.what());
        } catch (...) {
            error = QStringLiteral("The scan failed.");
        }
        onMainThread(
            [this, path, progress, scanned, error] { finishScan(path, progress, scanned, error); });
        if (!scanned || progress->isCancelled()) return;
        try {
            SavedIndex::save(*scanned);
        } catch (const std::exception&) {
            return;  // not dated: the saved file, if any, is an older one
        }
        onMainThread([this, path, scanned] { recordSaved(path, scanned->scannedAt()); });
    });
}

void AppModel::finishScan(const std::string& path, const ProgressRef& progress, IndexRef scanned,
                          const QString& error) {
    // A later scan owns the screen, or another target was opened meanwhile (from a saved
    // index, which leaves `progress` alone): the result runs to its end unseen.
    if (progress_ != progress || phase_ != Phase::scanning) return;
    Batch batch(*this);
    if (!scanned || progress->isCancelled()) {
        animated({0.5, 1.0}, [this] { setPhase(Phase::home); });
        if (!scanned)
            setToast(Toast::make(QStringLiteral("Couldn't scan ") + nameOf(path), error, false));
        return;
    }
    show(scanned);
    watch(scanned);
}

void AppModel::recordSaved(const std::string& path, std::chrono::system_clock::time_point at) {
    Batch batch(*this);
    indexed_[path] = at;
    announce(Prop::indexed);  // an entry changed in place is always announced
    if (path == "/") refreshVolumes();
}

void AppModel::chooseFolder() {
    const std::optional<std::string> picked = desktop_.chooseFolder(
        QStringLiteral("Scan"), QStringLiteral("Pick a folder to look inside"));
    if (picked) scan(*picked, false);
}

void AppModel::rescan() {
    if (index_) scan(index_->rootPath(), true);
}

void AppModel::show(IndexRef index) {
    Batch batch(*this);
    const IndexRef old = index_;
    setIndex(std::move(index));
    setHovered(std::nullopt);
    setBasket({});
    // What the screens show of the previous index (Biggest, the tips, the System Data report,
    // the clean-up plan and its ticks, search results) stays until this index's own values
    // arrive, so a screen never falls back to waiting for them. Their node ids are carried
    // over by path in this same batch (what the new index lacks is dropped): an id is never
    // read in another generation than its own.
    if (old && old != index_) {
        carryListsOver(*old, *index_);
    } else if (!old) {
        // Nothing is shown: lists left over from no generation are not read in this one.
        clearLists();
    }
    setCurrent(0);
    setTab(Tab::explore);
    refreshDerived();
    // A search typed while a fresh scan ran was of the index shown then: its result is dropped
    // when it comes back, so the query is searched again in the new one.
    if (!query_.isEmpty()) scheduleSearch();
    animated({0.55, 0.82}, [this] { setPhase(Phase::results); });
}

void AppModel::open(NodeId node) {
    if (!index_ || node >= index_->count() || !index_->isDir(node)) return;
    Batch batch(*this);
    animated({0.42, 0.82}, [this, node] {
        setCurrent(node);
        setTab(Tab::explore);
        setHovered(std::nullopt);
    });
    if (!query_.isEmpty()) setQuery(QString());
    refreshDerived();
}

void AppModel::up() {
    if (!index_) return;
    if (const auto parent = index_->parentOf(current_)) open(*parent);
}

NodeIds AppModel::children(NodeId node, std::size_t head) const {
    if (!index_ || node >= index_->count()) return {};
    return index_->sortedChildren(node, head);
}

bool AppModel::reveal(NodeId node) {
    if (!index_ || node >= index_->count()) return false;
    return desktop_.reveal(index_->path(node));
}

bool AppModel::openItem(NodeId node) {
    if (!index_ || node >= index_->count()) return false;
    return desktop_.open(index_->path(node));
}

bool AppModel::copyPath(NodeId node) {
    if (!index_ || node >= index_->count()) return false;
    return desktop_.copyText(QString::fromStdString(index_->path(node)));
}

}  // namespace tamrel
