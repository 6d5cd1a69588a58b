#include "model/app/VolumesAndPlaces.h"

#include <sys/stat.h>

#include <QSocketNotifier>

#include <exception>

#include "core/saved/SavedIndex.h"
#include "model/app/VolumeList.h"
#include "platform/PathText.h"
#include "platform/XdgDirs.h"

namespace tamrel {

VolumesAndPlaces::VolumesAndPlaces(ModelContext& context, ShownIndex& shown, LiveSync& live,
                                   SearchController& search, Toasts& toasts)
    : context_(context), shown_(shown), live_(live), search_(search), toasts_(toasts) {}

VolumesAndPlaces::~VolumesAndPlaces() = default;

VolumesAndPlaces::Saved VolumesAndPlaces::loadSaved(const std::string& root) {
    Saved saved;
    try {
        saved.index = ModelContext::ownIndex(SavedIndex::load(root, &saved.damaged));
    } catch (const std::exception&) {
        saved.index = nullptr;
    }
    return saved;
}

std::optional<NodeId> VolumesAndPlaces::enteredFolder(const DiskIndex& index,
                                                      const std::string& path) {
    const std::optional<NodeId> node = index.lookup(path);
    if (!node || !index.isDir(*node) || index.isGone(*node)) return std::nullopt;
    if (index.kind(*node) & (Flag::mount | Flag::denied)) return std::nullopt;
    return node;
}

void VolumesAndPlaces::recordSaved(const std::string& path,
                                   std::chrono::system_clock::time_point at) {
    Batch batch(context_.announcer);
    // An entry changed in place is always announced.
    indexed.edit(batch, [&](SavedDates& dates) { dates[path] = at; });
    if (path == "/") refreshVolumes();
}

void VolumesAndPlaces::refreshVolumes(std::optional<Saved>* loadedRoot) {
    Batch batch(context_.announcer);
    const auto& fixed = context_.options.volumes;
    volumes.set(batch, fixed ? *fixed : mountedVolumes());

    const std::string home = homeDirectory();
    struct Candidate {
        const char* name;
        const char* symbol;
        std::string path;
        std::uint32_t hex;
    };
    const Candidate candidates[] = {
        {"Home", "house.fill", home, 0x8E7CF8},
        {"Downloads", "arrow.down.circle.fill", home + "/Downloads", 0x4FA8F7},
        {"Documents", "doc.fill", home + "/Documents", 0xFFC53D},
        {"Desktop", "menubar.dock.rectangle", home + "/Desktop", 0xF27FB2},
        {"Developer", "hammer.fill", home + "/Developer", 0x9BD35A},
        {"Applications", "square.grid.3x3.fill", "/Applications", 0x4CC9A6},
        {"Library", "books.vertical.fill", home + "/Library", 0xD39A6A},
    };
    Places found;
    for (const Candidate& c : candidates) {
        struct stat st {};
        if (home.empty() && c.path != "/Applications") continue;
        if (::lstat(c.path.c_str(), &st) != 0) continue;
        found.push_back({c.name, c.symbol, c.path, c.hex});
    }
    places.set(batch, std::move(found));

    // A path without a saved index of its own is served by the saved index of "/" only when
    // that index entered the folder (a mount point it did not enter is not served).
    const auto rootDate = SavedIndex::cachedDate("/");
    IndexRef root;
    if (rootDate) {
        // The saved header keeps whole seconds.
        const auto seconds = [](std::chrono::system_clock::time_point t) {
            return std::chrono::floor<std::chrono::seconds>(t);
        };
        if (shown_.index() && shown_.index()->rootPath() == "/" &&
            seconds(shown_.index()->scannedAt()) == seconds(*rootDate)) {
            root = shown_.index();
        } else {
            Saved saved = loadSaved("/");
            root = saved.index;
            if (loadedRoot) *loadedRoot = std::move(saved);
        }
    }
    SavedDates dates;
    const auto date = [&](const std::string& path) {
        if (const auto own = path == "/" ? rootDate : SavedIndex::cachedDate(path)) {
            dates[path] = *own;
        } else if (root && enteredFolder(*root, path)) {
            dates[path] = *rootDate;
        } else {
            dates.erase(path);
        }
    };
    for (const Volume& v : volumes())
        date(v.url);
    for (const Place& p : places())
        date(p.url);
    indexed.set(batch, std::move(dates));

    hasFullDiskAccess.set(batch, canReadEverything());
}

void VolumesAndPlaces::followMountTable() {
    mountTable_ = std::make_unique<MountTable>();
    if (!mountTable_->valid()) return;
    mounts_ = MountPolicy::parseMounts(mountTable_->read());
    // Only a change is told (POLLPRI): the text itself is always readable.
    notifier_ = std::make_unique<QSocketNotifier>(mountTable_->fd(), QSocketNotifier::Exception);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { mountsChanged(); });
}

void VolumesAndPlaces::mountsChanged() {
    const std::string text = mountTable_->read();
    std::vector<MountInfo> now = MountPolicy::parseMounts(text);
    Batch batch(context_.announcer);
    if (shown_.phase() == Phase::results && shown_.index() &&
        mountGone(shown_.index()->rootPath(), mounts_, now)) {
        leaveGoneDisk();
    } else {
        // A disk that came or went inside the followed tree.
        live_.followMounts(now);
    }
    mounts_ = std::move(now);
    // Free space is read afresh at every change; the rest (places, saved dates, access) only
    // when a disk came or went.
    const auto& fixed = context_.options.volumes;
    Volumes mounted = fixed ? *fixed : volumesOf(text);
    const auto sameDisks = [&] {
        if (mounted.size() != volumes().size()) return false;
        for (std::size_t i = 0; i < mounted.size(); ++i) {
            if (mounted[i].url != volumes()[i].url) return false;
        }
        return true;
    };
    if (sameDisks()) {
        volumes.set(batch, std::move(mounted));
    } else {
        refreshVolumes();
    }
}

void VolumesAndPlaces::leaveGoneDisk() {
    Batch batch(context_.announcer);
    const std::string root = shown_.index()->rootPath();
    QString name;
    for (const Volume& v : volumes()) {
        if (v.url == root) name = v.name;
    }
    if (name.isEmpty()) name = QString::fromStdString(lastComponent(root));
    live_.stopWatching();
    // Nothing of the index stays: every node id held belongs to it.
    shown_.install(nullptr, ShownIndex::Keep::nothing);
    shown_.setScanTarget(std::nullopt);
    search_.setQuery(QString());
    shown_.setPhase(Phase::home, ShownIndex::homeSpring);
    toasts_.show(Toast::make(name + QStringLiteral(" is no longer there"),
                             QStringLiteral("Its disk was unmounted or disconnected."), false));
}

std::optional<std::uint64_t> VolumesAndPlaces::expectedScanBytes() const {
    if (!shown_.scanTarget()) return std::nullopt;
    for (const Volume& v : volumes()) {
        if (v.url == *shown_.scanTarget()) return v.free > v.total ? 0 : v.total - v.free;
    }
    return std::nullopt;
}

}  // namespace tamrel
