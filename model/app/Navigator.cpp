#include "model/app/Navigator.h"

#include <chrono>
#include <exception>
#include <memory>
#include <utility>

#include "core/index/IndexWriter.h"
#include "core/saved/SavedIndex.h"
#include "core/scan/ScanThreads.h"
#include "core/scan/Scanner.h"
#include "model/system/Clock.h"
#include "model/system/Desktop.h"
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

void Navigator::setTab(Tab next) {
    Batch batch(context_.announcer);
    tab.set(batch, next);
}

void Navigator::startUp() {
    Batch batch(context_.announcer);
    // The saved index of "/" is loaded once, by refreshVolumes(), and opened
    // from there.
    volumes_.refreshVolumes(&startUpRoot_);
    if (volumes_.indexed().contains("/")) scan("/", false);
    startUpRoot_.reset();
}

VolumesAndPlaces::Saved Navigator::savedIndex(const std::string& root) {
    if (root == "/" && startUpRoot_) {
        VolumesAndPlaces::Saved loaded = std::move(*startUpRoot_);
        startUpRoot_.reset();
        return loaded;
    }
    return VolumesAndPlaces::loadSaved(root);
}

void Navigator::checkSaved(const IndexRef& index) {
    live_.holdSaves(true);
    const std::uint64_t opened = opened_;
    removals_.setCheck(opened);
    context_.runInBackground([this, index, opened] {
        bool intact = true;
        try {
            intact = SavedIndex::savedFileIntact(*index);
        } catch (const std::exception&) {
            // Memory for the read refused: the file is not known to be damaged.
        }
        context_.onMainThread([this, intact, opened, root = index->rootPath()] {
            Batch batch(context_.announcer);
            // Whether the index on screen (or one refreshed from it) is the one checked: a
            // fresh scan that replaces it may still be running.
            const bool onScreen = removals_.check() == opened;
            const bool dropped = removals_.checkEnded(opened, intact);
            if (intact) {
                if (opened == opened_) live_.holdSaves(false);
                return;
            }
            // Thrown away: nothing of it is saved (its saves are still held) or acted on.
            if (onScreen) shown_.install(nullptr, ShownIndex::Keep::nothing);
            if (opened == opened_) {
                scan(root, true);
                toasts_.show(damagedToast(QStringLiteral("Scanning again from scratch.")),
                             Toasts::Stay::wholeLifetime);
            } else if (dropped) {
                // Another target was opened since: the removal that waited is told of.
                toasts_.show(damagedToast(QStringLiteral("Nothing was moved.")),
                             Toasts::Stay::wholeLifetime);
            }
        });
    });
}

Toast Navigator::damagedToast(const QString& detail) {
    return Toast::make(QStringLiteral("The saved index was damaged"), detail, false);
}

void Navigator::replaceShown(const std::string& path) {
    Batch batch(context_.announcer);
    live_.stopWatching();
    ++opened_;
    live_.holdSaves(false);
    shown_.setScanTarget(path);
    shown_.setBasket({});
    search_.setQuery(QString());
}

void Navigator::scan(const std::string& url, bool fresh) {
    const std::string path = withoutTrailingSlash(url);
    Batch batch(context_.announcer);

    // 1. A folder of the index on screen is only navigated to.
    if (!fresh && shown_.phase() == Phase::results && shown_.index()) {
        if (const auto node = VolumesAndPlaces::enteredFolder(*shown_.index(), path)) {
            shown_.setScanTarget(path);
            if (!search_.query().isEmpty()) search_.setQuery(QString());
            open(*node);
            return;
        }
    }

    // 2. A folder inside the saved whole-disk index is served from it.
    if (!fresh && path != "/") {
        if (IndexRef root = savedIndex("/").index) {
            if (const auto node = VolumesAndPlaces::enteredFolder(*root, path)) {
                replaceShown(path);
                show(root);
                // The run of derived data show() asked for starts from this folder.
                shown_.setCurrent(*node);
                live_.watch();
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
        VolumesAndPlaces::Saved own = savedIndex(path);
        if (own.index) {
            show(own.index);
            live_.watch();
            checkSaved(own.index);
            return;
        }
        damaged = own.damaged;
    }

    // 5. A fresh scan. A cancelled or failed scan is neither shown, saved nor dated: a partial
    // index must never pass for a whole one.
    auto counters = std::make_shared<ScanProgress>();
    progress.set(batch, counters);
    shown_.setPhase(Phase::scanning, ShownIndex::scanningSpring);
    if (damaged)
        toasts_.show(damagedToast(QStringLiteral("Scanning again from scratch.")),
                     Toasts::Stay::wholeLifetime);
    context_.runInBackground([this, path, counters] {
        IndexRef scanned;
        QString error;
        // Timed on the model's clock, as every time it shows.
        const Clock::TimePoint start = context_.clock.now();
        try {
            std::unique_ptr<DiskIndex> index = Scanner::scan(path, *counters, defaultScanThreads());
            IndexWriter::setScanTime(
                *index, std::chrono::duration<double>(context_.clock.now() - start).count());
            scanned = ModelContext::ownIndex(std::move(index));
        } catch (const std::exception& e) {
            error = QString::fromLocal8Bit(e.what());
        } catch (...) {
            error = QStringLiteral("The scan failed.");
        }
        context_.onMainThread(
            [this, path, counters, scanned, error] { finishScan(path, counters, scanned, error); });
        if (!scanned || counters->isCancelled()) return;
        try {
            SavedIndex::save(*scanned);
        } catch (const std::exception&) {
            return;  // not dated: the saved file, if any, is an older one
        }
        context_.onMainThread(
            [this, path, scanned] { volumes_.recordSaved(path, scanned->scannedAt()); });
    });
}

void Navigator::finishScan(const std::string& path, const ProgressRef& counters, IndexRef scanned,
                           const QString& error) {
    // A later scan owns the screen, or another target was opened meanwhile (from a saved
    // index, which leaves `progress` alone): the result runs to its end unseen.
    if (progress() != counters || shown_.phase() != Phase::scanning) return;
    Batch batch(context_.announcer);
    if (!scanned || counters->isCancelled()) {
        shown_.setPhase(Phase::home, ShownIndex::homeSpring);
        if (!scanned)
            toasts_.show(
                Toast::make(QStringLiteral("Couldn't scan ") + nameOf(path), error, false));
        return;
    }
    show(scanned);
    live_.watch();
}

void Navigator::chooseFolder() {
    const std::optional<std::string> picked = context_.desktop.chooseFolder(
        QStringLiteral("Scan"), QStringLiteral("Pick a folder to look inside"));
    if (picked) scan(*picked, false);
}

void Navigator::rescan() {
    if (shown_.index()) scan(shown_.index()->rootPath(), true);
}

void Navigator::show(IndexRef next) {
    Batch batch(context_.announcer);
    // What the screens show of the previous index (Biggest, the tips, the System Data report,
    // the clean-up plan and its ticks, search results) stays until this index's own values
    // arrive, so a screen never falls back to waiting for them: the followers of the shown
    // index carry their ids over by path in this same batch.
    shown_.install(std::move(next), ShownIndex::Keep::nothing);
    // A saved index is checked next (checkSaved()); a scanned one needs no check.
    removals_.setCheck(std::nullopt);
    setTab(Tab::explore);
    shown_.setPhase(Phase::results, ShownIndex::resultsSpring);
}

void Navigator::open(NodeId node) {
    const IndexRef& index = shown_.index();
    if (!index || node >= index->count() || !index->isDir(node)) return;
    Batch batch(context_.announcer);
    context_.announcer.animated(ShownIndex::openSpring, [&] {
        shown_.setCurrent(node);
        setTab(Tab::explore);
        shown_.setHovered(std::nullopt);
    });
    if (!search_.query().isEmpty()) search_.setQuery(QString());
    derived_.refreshDerived();
}

void Navigator::up() {
    if (!shown_.index()) return;
    if (const auto parent = shown_.index()->parentOf(shown_.current())) open(*parent);
}

NodeIds Navigator::children(NodeId node, std::size_t head) const {
    if (!shown_.index() || node >= shown_.index()->count()) return {};
    return shown_.index()->sortedChildren(node, head);
}

bool Navigator::reveal(NodeId node) {
    if (!shown_.index() || node >= shown_.index()->count()) return false;
    return context_.desktop.reveal(shown_.index()->path(node));
}

bool Navigator::openItem(NodeId node) {
    if (!shown_.index() || node >= shown_.index()->count()) return false;
    return context_.desktop.open(shown_.index()->path(node));
}

bool Navigator::copyPath(NodeId node) {
    if (!shown_.index() || node >= shown_.index()->count()) return false;
    return context_.desktop.copyText(QString::fromStdString(shown_.index()->path(node)));
}

}  // namespace tamrel
