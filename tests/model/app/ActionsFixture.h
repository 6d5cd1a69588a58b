#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "model/app/AppModel.h"
#include "model/removal/TrashCan.h"
#include "tests/model/app/ActionsProbe.h"
#include "tests/model/app/FakeDesktop.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitFor.h"

namespace tamrel::test {

using namespace std::chrono_literals;

// Two applications in `tree`/home/Applications: "Small" (com.example.small) and "Big"
// (com.example.big, 400 KB more) with three leftovers of 20 KB in home/Library: Caches,
// Application Support and Logs.
void makeSmallAndBig(const TempDir& tree);

// Something (a link included) is at `path`.
bool exists(const std::string& path);

// A fresh scan of `root`.
IndexRef scanTree(const std::string& root);

// Records every path it is asked to move and moves it by rename into `holding` (nothing is
// deleted), so the tree on disk changes as with the real Trash. Paths in `refuse` fail. With
// `real`, it moves through the real movers instead (TrashMover::trashItem(), Remover::remove()
// with a platform that refuses administrator rights), into the real Trash.
class RecordingTrashCan : public TrashCan {
public:
    explicit RecordingTrashCan(std::string holding, bool real = false)
        : holding_(std::move(holding)), real_(real) {}

    bool moveToTrash(const std::string& path) override;
    TrashResult trashPicked(const std::string& path, const ExpectedItem& expected) override;
    Remover::Outcome remove(const std::vector<Remover::Item>& items, Platform& platform,
                            const std::atomic<bool>& stop) override;

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
    bool real_ = false;
    std::vector<std::string> asked_;
    std::vector<std::string> refused_;
    int serial_ = 0;
};

}  // namespace tamrel::test
