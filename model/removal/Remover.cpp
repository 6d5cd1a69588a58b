#include "model/removal/Remover.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/PathText.h"
#include "platform/TrashMover.h"

namespace tamrel {

namespace {

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
    const auto fail = [&out](const Item& item, TrashRefusal why) {
        out.failures.push_back(lastComponent(item.path));
        out.reasons.push_back(why);
    };
    std::vector<const Item*> elevated;
    for (const Item& item : items) {
        if (item.system) continue;
        if (holdsNul(item.path)) {
            fail(item, TrashRefusal::failed);
            continue;
        }
        if (item.kind == Leftover::Kind::agent) {
            platform.run("/bin/launchctl", {"bootout", "gui/" + uid, item.path});
        }
        const TrashResult moved =
            TrashMover::trashItem(item.path, item.expected ? &*item.expected : nullptr);
        // Nothing left at its path counts as gone, as for the items moved with administrator
        // rights.
        if (moved.moved() || (moved.refusal == TrashRefusal::gone && !existsAt(item.path))) {
            out.removed.push_back(item.node);
        } else if (moved.refusal == TrashRefusal::otherUser ||
                   moved.refusal == TrashRefusal::permission) {
            elevated.push_back(&item);
        } else {
            fail(item, moved.refusal);
        }
    }
    for (const Item& item : items) {
        if (!item.system) continue;
        if (holdsNul(item.path)) {
            fail(item, TrashRefusal::failed);
        } else {
            elevated.push_back(&item);
        }
    }
    // What no longer matches what was chosen is not handed on; what this user cannot even look
    // at is, for the administrator step to judge.
    std::erase_if(elevated, [&](const Item* item) {
        if (!item->expected) return false;
        const TrashRefusal found = TrashMover::checkItem(item->path, *item->expected).refusal;
        if (found == TrashRefusal::none || found == TrashRefusal::permission) return false;
        if (found == TrashRefusal::gone && !existsAt(item->path)) {
            out.removed.push_back(item->node);
        } else {
            fail(*item, found);
        }
        return true;
    });
    if (elevated.empty()) return out;

    std::vector<ElevatedItem> asked;
    asked.reserve(elevated.size());
    for (const Item* item : elevated) {
        const bool job =
            item->kind == Leftover::Kind::agent || item->kind == Leftover::Kind::daemon;
        asked.push_back({item->path, job, item->expected});
    }
    const bool ran = !stop.load() && platform.trashAsAdministrator(asked, stop);
    for (const Item* item : elevated) {
        if (!ran) {
            fail(*item, TrashRefusal::rightsRefused);
        } else if (existsAt(item->path)) {
            fail(*item, TrashRefusal::none);
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
