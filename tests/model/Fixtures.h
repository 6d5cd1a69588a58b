#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "model/system/Platform.h"
#include "model/removal/Remover.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

namespace tamrel::test {

using Texts = std::map<std::string, std::string>;

// Writes a property list of text values at `file` (folders made), XML or binary.
void writePlist(const std::string& file, const Texts& texts, bool binary);

// Makes the bundle folder `relative` in `dir` with Contents/Info.plist holding `texts`.
void makeBundle(const TempDir& dir, std::string_view relative, const Texts& texts,
                bool binary = false);

// Answers from its tables and records what it was asked.
class FakePlatform : public Platform {
public:
    std::map<std::string, std::string> apps;  // bundle identifier -> application path
    bool allow = true;                        // the administrator prompt is accepted
    // What an accepted prompt does with the items (nothing by default).
    std::function<void(const std::vector<ElevatedItem>&)> onElevate;
    // The prompt stays open, as a user who walked away leaves it, until the caller stops the
    // request (then it counts as dismissed), or for 30 s at most, which `forsaken` records.
    bool waits = false;

    // Written under `lock`: workers ask at the same time (a running check beside an inventory).
    std::vector<std::string> asked;
    std::vector<std::vector<std::string>> runs;  // program, then its arguments
    std::mutex lock;
    std::vector<std::vector<ElevatedItem>> elevations;
    std::thread::id elevatedOn;
    std::atomic<bool> prompting = false;  // a waiting prompt is open
    std::atomic<bool> forsaken = false;   // a waiting prompt was never stopped

    std::optional<std::string> applicationPath(const std::string& bundleID) override;
    int run(const std::string& program, const std::vector<std::string>& args) override;
    bool trashAsAdministrator(const std::vector<ElevatedItem>& items,
                              const std::atomic<bool>& stop) override;
};

// Runs `work` on another thread while this (the main) thread serves the Qt event loop.
void offMainThread(const std::function<void()>& work);

// Moves the item at `path` to `into` (a folder) by rename, keeping its name; fails the test when
// that fails.
void moveAway(const std::string& path, const std::string& into);

// Another user (nobody, when this is root) renames the folder at `path` aside to path + ".x" and
// the folder `other` (beside it) in under its name, in their shared folder (made 0777 here), as
// `mv a a.x; mv other a` does; no link anywhere. Fails the test when that fails.
void renameInAsAnotherUser(const std::string& path, const std::string& other);

}  // namespace tamrel::test

namespace tamrel {
// Readable outcomes in test failures.
void PrintTo(const Remover::Outcome& outcome, std::ostream* os);
}  // namespace tamrel
