#pragma once

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "model/app/AppModel.h"
#include "tests/model/Fixtures.h"
#include "tests/model/app/ActionsProbe.h"
#include "tests/model/app/FakeDesktop.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestClock.h"
#include "tests/support/WaitFor.h"

namespace tamrel::test {

// A model over real temporary folders: saved indexes and the Trash in a temporary
// XDG_DATA_HOME, $HOME a temporary folder, the model's clock `clock` (which the test advances),
// the live-sync waits and the watcher's latency shortened, no start-up unless asked.
class ModelTest : public ::testing::Test {
protected:
    ModelTest() : home_("HOME", tree.path() + "/home") {
        tree.mkdirs("home");
        options.clock = &clock;
        options.quietTime = std::chrono::milliseconds(300);
        options.retryDelay = std::chrono::milliseconds(50);
        options.watcher.allowFanotify = false;
        options.watcher.latency = std::chrono::milliseconds(50);
        options.startUp = false;
    }

    AppModel& model() {
        if (!model_) model_ = std::make_unique<AppModel>(desktop, options);
        return *model_;
    }
    // Destroys the model, as quitting does; the next model() makes a new one with `options`.
    void quit() { model_.reset(); }

    // Serves the event loop until `done` holds; false after `ms` milliseconds.
    static bool waitFor(const std::function<bool()>& done, int ms = 10000) {
        return test::waitFor(done, std::chrono::milliseconds(ms));
    }

    // As waitFor(), for what follows the kernel's events: whenever a wait of the model began
    // (a batch of changes arrived, a refresh is to be retried, a save falls due), the clock
    // moves on by the quiet time, so the live synchronisation takes the changes at once.
    bool waitLive(const std::function<bool()>& done, int ms = 10000) {
        std::uint64_t seen = 0;
        return waitFor(
            [&] {
                if (clock.starts() != seen) {
                    seen = clock.starts();
                    clock.advance(options.quietTime);
                }
                return done();
            },
            ms);
    }

    // Lets the search delay pass and waits for the search's results.
    bool searched() {
        clock.advance(options.searchDelay);
        return waitFor([&] { return !model().searching(); });
    }

    // Scans `path` afresh and waits for the results, the saved date and the live watcher.
    void scanned(const std::string& path) {
        AppModel& m = model();
        m.scan(path, true);
        ASSERT_TRUE(waitFor([&] {
            return m.phase() == Phase::results && m.index() && m.index()->rootPath() == path &&
                   m.indexed().contains(path) && m.sync() == Sync::live && !m.breakdown().empty();
        }));
    }

    // Writes a file of `bytes` bytes at `relative` in the tree, making its folders.
    void put(const std::string& relative, std::size_t bytes) {
        const std::size_t slash = relative.rfind('/');
        if (slash != std::string::npos) tree.mkdirs(relative.substr(0, slash));
        tree.write(relative, bytes);
    }

    NodeId id(const std::string& path) {
        const auto n = model().index()->lookup(path);
        EXPECT_TRUE(n) << path;
        return n.value_or(NONE);
    }

    ScopedDataHome data;
    TempDir tree;
    TestClock clock;
    FakeDesktop desktop;
    AppModel::Options options;

private:
    ScopedEnv home_;
    std::unique_ptr<AppModel> model_;
};

}  // namespace tamrel::test
