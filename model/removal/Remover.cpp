#include "model/removal/Remover.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QStandardPaths>
#include <QThread>
#include <functional>

#include "platform/PathText.h"
#include "platform/TrashMover.h"
#include "platform/XdgDirs.h"

namespace tamrel {

namespace {

// The last path component; "/" stays "/".
std::string lastComponent(const std::string& path) {
    const auto parts = pathComponents(path);
    return parts.empty() ? "/" : parts.back();
}

bool existsAt(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Makes the home Trash with its files/ and info/ folders. Qt 6.4 moves an item into files/ of
// the current folder when it cannot establish the home Trash, and calls that a success: it is
// only asked once the Trash it will use is known to be there.
bool homeTrashReady() {
    const std::string trash = homeTrashDirectory();
    const QString qtData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (trash.empty() || QFile::encodeName(qtData).toStdString() + "/Trash" != trash) return false;
    const auto parts = pathComponents(trash);
    for (std::size_t n = 1; n <= parts.size(); ++n)
        ::mkdir(absolutePath(std::span(parts).first(n)).c_str(), 0700);
    struct stat st {};
    for (const std::string& folder : {trash, trash + "/files", trash + "/info"}) {
        if (folder != trash) ::mkdir(folder.c_str(), 0700);
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            ::access(folder.c_str(), W_OK | X_OK) != 0) {
            return false;
        }
    }
    return true;
}

bool moveToTrash(const std::string& path) {
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    if (QFile::encodeName(name).toStdString() == path) {
        QString where;
        return QFile::moveToTrash(name, &where) && where.startsWith(QLatin1Char('/'));
    }
    // Not UTF-8: Qt would name another file. Our own mover keeps the bytes.
    std::string why;
    auto mover = TrashMover::open(homeTrashDirectory(), ::getuid(), ::getgid(), why);
    return mover && mover->move(path, why);
}

bool onMainThread(const std::function<bool()>& call) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) return call();
    bool result = false;
    QMetaObject::invokeMethod(
        app, [&] { result = call(); }, Qt::BlockingQueuedConnection);
    return result;
}

}  // namespace

Remover::Outcome Remover::remove(const std::vector<Item>& items) {
    return remove(items, Platform::system());
}

Remover::Outcome Remover::remove(const std::vector<Item>& items, Platform& platform) {
    if (items.empty()) return {};
    // Made for the helper too, which never makes the folders above the Trash: the user's own
    // rights do.
    const bool ready = homeTrashReady();
    const std::string uid = std::to_string(::getuid());
    Outcome out;
    std::vector<const Item*> elevated;
    for (const Item& item : items) {
        if (item.system) continue;
        if (item.kind == Leftover::Kind::agent) {
            platform.run("/bin/launchctl", {"bootout", "gui/" + uid, item.path});
        }
        if (ready && moveToTrash(item.path)) {
            out.removed.push_back(item.node);
        } else {
            elevated.push_back(&item);
        }
    }
    for (const Item& item : items) {
        if (item.system) elevated.push_back(&item);
    }
    if (elevated.empty()) return out;

    std::vector<ElevatedItem> asked;
    asked.reserve(elevated.size());
    for (const Item* item : elevated) {
        const bool job =
            item->kind == Leftover::Kind::agent || item->kind == Leftover::Kind::daemon;
        asked.push_back({item->path, job});
    }
    const bool ran = onMainThread([&] { return platform.trashAsAdministrator(asked); });
    for (const Item* item : elevated) {
        if (!ran || existsAt(item->path)) {
            out.failures.push_back(lastComponent(item->path));
        } else {
            out.removed.push_back(item->node);
        }
    }
    return out;
}

bool Remover::trashAsUser(const std::string& path) {
    return homeTrashReady() && moveToTrash(path);
}

}  // namespace tamrel
