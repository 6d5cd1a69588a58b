#include "model/removal/Remover.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/PathText.h"
#include "platform/TrashMover.h"

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

// A path that cannot reach a program's arguments whole: every C string ends at a NUL byte.
bool holdsNul(const std::string& path) {
    return path.find('\0') != std::string::npos;
}

}  // namespace

Remover::Outcome Remover::remove(const std::vector<Item>& items) {
    return remove(items, Platform::system());
}

Remover::Outcome Remover::remove(const std::vector<Item>& items, Platform& platform) {
    static const std::atomic<bool> never{false};
    return remove(items, platform, never);
}

Remover::Outcome Remover::remove(const std::vector<Item>& items, Platform& platform,
                                 const std::atomic<bool>& stop) {
    if (items.empty()) return {};
    const std::string uid = std::to_string(::getuid());
    Outcome out;
    std::vector<const Item*> elevated;
    for (const Item& item : items) {
        if (item.system) continue;
        if (holdsNul(item.path)) {
            elevated.push_back(&item);
            continue;
        }
        if (item.kind == Leftover::Kind::agent) {
            platform.run("/bin/launchctl", {"bootout", "gui/" + uid, item.path});
        }
        if (trashAsUser(item.path)) {
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
        if (holdsNul(item->path)) continue;
        const bool job =
            item->kind == Leftover::Kind::agent || item->kind == Leftover::Kind::daemon;
        asked.push_back({item->path, job});
    }
    const bool ran = !asked.empty() && !stop.load() && platform.trashAsAdministrator(asked, stop);
    for (const Item* item : elevated) {
        if (!ran || holdsNul(item->path) || existsAt(item->path)) {
            out.failures.push_back(lastComponent(item->path));
        } else {
            out.removed.push_back(item->node);
        }
    }
    return out;
}

bool Remover::trashAsUser(const std::string& path) {
    std::string why;
    return TrashMover::trashItem(path, why).has_value();
}

}  // namespace tamrel
