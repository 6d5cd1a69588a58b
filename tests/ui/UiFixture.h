#pragma once

#include <QTest>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "model/app/AppModel.h"
#include "tests/model/app/FakeDesktop.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/support/TempDir.h"

namespace tamrel::test {

// Sets an environment variable for the life of the object.
class EnvOverride {
 public:
  EnvOverride(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~EnvOverride() {
    if (old_) {
      ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  EnvOverride(const EnvOverride&) = delete;
  EnvOverride& operator=(const EnvOverride&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// A real AppModel over a real temporary tree: saved indexes in a temporary XDG_DATA_HOME,
// $HOME the tree's "home" folder (with Downloads and Documents), the desktop a recording fake,
// short waits, and no start-up until the test asks.
class UiTest : public ::testing::Test {
 protected:
  UiTest() : home_("HOME", tree.path() + "/home") {
    tree.mkdirs("home/Downloads");
    tree.mkdirs("home/Documents");
    tree.mkdirs("data/photos");
    tree.write("data/photos/a.jpg", 200'000);
    tree.write("data/photos/b.jpg", 120'000);
    tree.write("data/notes.txt", 5'000);
    options.searchDelay = std::chrono::milliseconds(5);
    options.quietTime = std::chrono::milliseconds(200);
    options.retryDelay = std::chrono::milliseconds(20);
    options.watcher.allowFanotify = false;
    options.watcher.latency = std::chrono::milliseconds(20);
    options.startUp = false;
  }

  AppModel& model() {
    if (!model_) model_ = std::make_unique<AppModel>(desktop, options);
    return *model_;
  }

  static bool waitFor(const std::function<bool()>& done, int ms = 10000) {
    return QTest::qWaitFor(done, ms);
  }

  // Scans `path` afresh and waits until its results show.
  void scanned(const std::string& path) {
    AppModel& m = model();
    m.scan(path, true);
    ASSERT_TRUE(waitFor([&] {
      return m.phase() == Phase::results && m.index() && m.index()->rootPath() == path;
    }));
  }

  std::string home() const { return tree.path() + "/home"; }

  ScopedDataHome data;
  TempDir tree;
  FakeDesktop desktop;
  AppModel::Options options;

 private:
  EnvOverride home_;
  std::unique_ptr<AppModel> model_;
};

}  // namespace tamrel::test
