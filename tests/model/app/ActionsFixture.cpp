#include "tests/model/app/ActionsFixture.h"

#include <QCoreApplication>
#include <cstdio>
#include <thread>

#include "core/scan/ScanProgress.h"

namespace tamrel {

void ActionsProbe::adopt(AppModel& model, IndexRef next) {
    const IndexRef old = model.index();
    const auto carry = [&](NodeId id) -> std::optional<NodeId> {
        if (!old || id >= old->count()) return std::nullopt;
        return next->lookup(old->path(id));
    };
    NodeIds basket;
    for (NodeId id : model.basket()) {
        if (const auto n = carry(id)) basket.push_back(*n);
    }
    NodeSet picked;
    for (NodeId id : model.cleanPicked()) {
        if (const auto n = carry(id)) picked.insert(*n);
    }
    const NodeId current = carry(model.current()).value_or(0);
    AppModel::Batch batch(model);
    model.setIndex(std::move(next));
    model.setCurrent(current);
    model.setBasket(std::move(basket));
    model.setCleanPicked(std::move(picked));
    model.setRevision(model.revision() + 1);
}

namespace test {

IndexRef scanTree(const std::string& root) {
    ScanProgress progress;
    return IndexRef(DiskIndex::scan(root, progress, 2));
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

bool RecordingTrashCan::moveToTrash(const std::string& path) {
    std::lock_guard guard(lock_);
    asked_.push_back(path);
    for (const std::string& r : refused_) {
        if (r == path) return false;
    }
    const std::string to = holding_ + "/" + std::to_string(++serial_);
    return std::rename(path.c_str(), to.c_str()) == 0;
}

Remover::Outcome RecordingTrashCan::remove(const std::vector<Remover::Item>& items, Platform&) {
    Remover::Outcome out;
    for (const Remover::Item& item : items) {
        if (moveToTrash(item.path)) {
            out.removed.push_back(item.node);
        } else {
            const auto slash = item.path.rfind('/');
            out.failures.push_back(item.path.substr(slash + 1));
        }
    }
    return out;
}

std::vector<std::string> pathsOf(const DiskIndex& index, const std::vector<NodeId>& ids) {
    std::vector<std::string> out;
    for (NodeId id : ids) out.push_back(index.path(id));
    return out;
}

}  // namespace test
}  // namespace tamrel
