#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "model/app/AppModel.h"
#include "model/removal/TrashCan.h"
#include "tests/model/app/FakeDesktop.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/support/TempDir.h"

namespace tamrel {

// Installs index generations and picks in a model the way its own operations would, for the
// tests of the actions that move files.
class ActionsProbe {
public:
    // Shows `index` at its root with nothing picked, as a newly opened target (no watcher).
    static void show(AppModel& model, IndexRef index) { model.show(std::move(index)); }
    // Adopts `next` as a refreshed generation of the shown index.
    static void adopt(AppModel& model, IndexRef next) { model.adopt(std::move(next)); }
    static void setCurrent(AppModel& model, NodeId node) { model.setCurrent(node); }
    static void setCleanPicked(AppModel& model, NodeSet picked) {
        model.setCleanPicked(std::move(picked));
    }
    static void setApps(AppModel& model, InstalledApps apps, const IndexRef& from, int revision) {
        AppModel::Batch batch(model);
        model.setApps(std::move(apps));
        model.appsIndex_ = from;
        model.appsRevision_ = revision;
    }
};

namespace test {

using namespace std::chrono_literals;

// A fresh scan of `root`.
IndexRef scanTree(const std::string& root);

// Serves the Qt event loop of this (the main) thread until `done` holds or `limit` passes;
// whether it held.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s);

// Records every path it is asked to move and moves it by rename into `holding` (nothing is
// deleted), so the tree on disk changes as with the real Trash. Paths in `refuse` fail.
class RecordingTrashCan : public TrashCan {
public:
    explicit RecordingTrashCan(std::string holding) : holding_(std::move(holding)) {}

    bool moveToTrash(const std::string& path) override;
    Remover::Outcome remove(const std::vector<Remover::Item>& items, Platform& platform) override;

    std::vector<std::string> asked() const {
        std::lock_guard guard(lock_);
        return asked_;
    }
    void refuse(const std::string& path) {
        std::lock_guard guard(lock_);
        refused_.push_back(path);
    }

private:
    mutable std::mutex lock_;
    std::string holding_;
    std::vector<std::string> asked_;
    std::vector<std::string> refused_;
    int serial_ = 0;
};

// The paths of `ids` in `index`.
std::vector<std::string> pathsOf(const DiskIndex& index, const std::vector<NodeId>& ids);

}  // namespace test
}  // namespace tamrel
