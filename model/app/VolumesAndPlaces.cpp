#include "model/app/VolumesAndPlaces.h"

#include <sys/stat.h>

#include <QSocketNotifier>

#include "core/saved/SavedIndex.h"
#include "model/app/AppModel.h"
#include "model/app/VolumeList.h"
#include "platform/PathText.h"
#include "platform/XdgDirs.h"

namespace tamrel {

VolumesAndPlaces::VolumesAndPlaces(ModelContext& context)
    : context_(context), model_(context.model) {}

VolumesAndPlaces::~VolumesAndPlaces() = default;

void VolumesAndPlaces::refreshVolumes() {
    Batch batch(context_.announcer);
    model_.volumes.set(batch, mountedVolumes());

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
    model_.places.set(batch, std::move(found));

    // A path without a saved index of its own is served by the saved index of "/" only when
    // that index entered the folder (a mount point it did not enter is not served).
    const auto rootDate = SavedIndex::cachedDate("/");
    IndexRef root;
    if (rootDate) {
        // The saved header keeps whole seconds.
        const auto seconds = [](std::chrono::system_clock::time_point t) {
            return std::chrono::floor<std::chrono::seconds>(t);
        };
        if (model_.index() && model_.index()->rootPath() == "/" &&
            seconds(model_.index()->scannedAt()) == seconds(*rootDate)) {
            root = model_.index();
        } else {
            Navigator::Saved saved = Navigator::loadSaved("/");
            root = saved.index;
            // Start-up opens "/" next: it takes this copy rather than mapping the file again.
            context_.navigator->keepStartUpRoot(std::move(saved));
        }
    }
    SavedDates dates;
    const auto date = [&](const std::string& path) {
        if (const auto own = path == "/" ? rootDate : SavedIndex::cachedDate(path)) {
            dates[path] = *own;
        } else if (root && Navigator::enteredFolder(*root, path)) {
            dates[path] = *rootDate;
        } else {
            dates.erase(path);
        }
    };
    for (const Volume& v : model_.volumes())
        date(v.url);
    for (const Place& p : model_.places())
        date(p.url);
    model_.indexed.set(batch, std::move(dates));

    model_.hasFullDiskAccess.set(batch, canReadEverything());
}

void VolumesAndPlaces::followMountTable() {
    mountTable_ = std::make_unique<MountTable>();
    if (!mountTable_->valid()) return;
    mounts_ = parseMounts(mountTable_->read());
    // Only a change is told (POLLPRI): the text itself is always readable.
    notifier_ = std::make_unique<QSocketNotifier>(mountTable_->fd(), QSocketNotifier::Exception);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, &model_,
                     [this] { mountsChanged(); });
}

void VolumesAndPlaces::mountsChanged() {
    const std::string text = mountTable_->read();
    std::vector<MountEntry> now = parseMounts(text);
    Batch batch(context_.announcer);
    if (model_.phase() == Phase::results && model_.index() &&
        mountGone(model_.index()->rootPath(), mounts_, now))
        leaveGoneDisk();
    mounts_ = std::move(now);
    // Free space is read afresh at every change; the rest (places, saved dates, access) only
    // when a disk came or went.
    Volumes mounted = volumesOf(text);
    const auto sameDisks = [&] {
        if (mounted.size() != model_.volumes().size()) return false;
        for (std::size_t i = 0; i < mounted.size(); ++i) {
            if (mounted[i].url != model_.volumes()[i].url) return false;
        }
        return true;
    };
    if (sameDisks()) {
        model_.volumes.set(batch, std::move(mounted));
    } else {
        refreshVolumes();
    }
}

void VolumesAndPlaces::leaveGoneDisk() {
    Batch batch(context_.announcer);
    const std::string root = model_.index()->rootPath();
    QString name;
    for (const Volume& v : model_.volumes()) {
        if (v.url == root) name = v.name;
    }
    if (name.isEmpty()) name = QString::fromStdString(lastComponent(root));
    context_.live->stopWatching();
    // Nothing of the index stays: every node id held belongs to it.
    model_.index.set(batch, nullptr);
    model_.scanTarget.set(batch, std::nullopt);
    model_.setHovered(std::nullopt);
    model_.setBasket({});
    model_.setQuery(QString());
    context_.derived->clearLists();
    model_.current.set(batch, 0);
    context_.announcer.animated({0.5, 1.0}, [&] { model_.phase.set(batch, Phase::home); });
    model_.setToast(Toast::make(name + QStringLiteral(" is no longer there"),
                                QStringLiteral("Its disk was unmounted or disconnected."), false));
}

std::optional<std::uint64_t> VolumesAndPlaces::expectedScanBytes() const {
    if (!model_.scanTarget()) return std::nullopt;
    for (const Volume& v : model_.volumes()) {
        if (v.url == *model_.scanTarget()) return v.free > v.total ? 0 : v.total - v.free;
    }
    return std::nullopt;
}

}  // namespace tamrel
