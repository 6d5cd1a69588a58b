#include "model/removal/TrashCan.h"

namespace tamrel {

namespace {

class SystemTrashCan final : public TrashCan {
public:
    bool moveToTrash(const std::string& path) override { return Remover::trashAsUser(path); }
    TrashResult trashPicked(const std::string& path, const ExpectedItem& expected) override {
        return TrashMover::trashItem(path, &expected);
    }
    Remover::Outcome remove(const std::vector<Remover::Item>& items, Platform& platform,
                            const std::atomic<bool>& stop) override {
        return Remover::remove(items, platform, stop);
    }
};

}  // namespace

TrashResult TrashCan::trashPicked(const std::string& path, const ExpectedItem&) {
    TrashResult result;
    if (moveToTrash(path)) result.where = path;
    return result;
}

TrashCan& TrashCan::system() {
    static SystemTrashCan can;
    return can;
}

ExpectedItem expectedItem(const DiskIndex& index, NodeId node) {
    using Type = ExpectedItem::Type;
    constexpr Type types[] = {Type::file, Type::folder, Type::link, Type::other};
    ExpectedItem expected;
    expected.type = types[static_cast<int>(index.kindOf(node))];
    expected.root = index.rootPath();
    if (expected.type != Type::folder) {
        if (!(index.kind(node) & Flag::linked)) expected.allocated = index.size(node);
        expected.mtime = index.mtime(node);
    }
    return expected;
}

ExpectedItem pickedItem(const DiskIndex& index, NodeId node, TrashResult* refusal) {
    ExpectedItem expected = expectedItem(index, node);
    ExpectedItem kind;
    kind.type = expected.type;
    kind.root = expected.root;
    TrashResult found = TrashMover::recordItem(index.path(node), kind);
    if (refusal) *refusal = std::move(found);
    return withIdentity(std::move(expected), &kind);
}

ExpectedItem withIdentity(ExpectedItem now, const ExpectedItem* picked) {
    if (picked) {
        now.file = picked->file;
        now.born = picked->born;
        now.generation = picked->generation;
        now.mounts = picked->mounts;
    }
    return now;
}

ExpectedItem withIdentity(ExpectedItem now, const PickedItems& picks, const std::string& path) {
    const auto found = picks.find(path);
    return withIdentity(std::move(now), found == picks.end() ? nullptr : &found->second);
}

TrashResult pickRefusal(const DiskIndex& index, NodeId node) {
    TrashResult refused;
    if (node == 0 || index.isGone(node)) {
        refused.refusal = node == 0 ? TrashRefusal::protectedPlace : TrashRefusal::gone;
        return refused;
    }
    pickedItem(index, node, &refused);
    return refused;
}

}  // namespace tamrel
