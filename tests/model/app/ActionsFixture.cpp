#include "tests/model/app/ActionsFixture.h"

#include <QCoreApplication>
#include <sys/stat.h>
#include <cstdio>
#include <thread>

#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "tests/model/Fixtures.h"

namespace tamrel {

namespace test {

void makeSmallAndBig(const TempDir& tree) {
    makeBundle(tree, "home/Applications/Small.app",
               {{"CFBundleIdentifier", "com.example.small"}, {"CFBundleName", "Small"}});
    makeBundle(tree, "home/Applications/Big.app",
               {{"CFBundleIdentifier", "com.example.big"}, {"CFBundleName", "Big"}});
    tree.write("home/Applications/Big.app/Contents/blob", 400000);
    for (const char* folder : {"Caches", "Application Support", "Logs"}) {
        tree.mkdirs(std::string("home/Library/") + folder + "/com.example.big");
        tree.write(std::string("home/Library/") + folder + "/com.example.big/x", 20000);
    }
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

IndexRef scanTree(const std::string& root) {
    ScanProgress progress;
    return IndexRef(Scanner::scan(root, progress, 2));
}

bool RecordingTrashCan::moveToTrash(const std::string& path) {
    std::lock_guard guard(lock_);
    asked_.push_back(path);
    for (const std::string& r : refused_) {
        if (r == path) return false;
    }
    if (real_) {
        std::string why;
        return TrashMover::trashItem(path, why).has_value();
    }
    const std::string to = holding_ + "/" + std::to_string(++serial_);
    return std::rename(path.c_str(), to.c_str()) == 0;
}

TrashResult RecordingTrashCan::trashPicked(const std::string& path, const ExpectedItem& expected) {
    if (!real_) return TrashCan::trashPicked(path, expected);
    {
        std::lock_guard guard(lock_);
        asked_.push_back(path);
    }
    return TrashMover::trashItem(path, &expected);
}

Remover::Outcome RecordingTrashCan::remove(const std::vector<Remover::Item>& items, Platform&,
                                           const std::atomic<bool>& stop) {
    if (real_) {
        {
            std::lock_guard guard(lock_);
            for (const Remover::Item& item : items)
                asked_.push_back(item.path);
        }
        FakePlatform refusing;
        refusing.allow = false;
        return Remover::remove(items, refusing, stop);
    }
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

}  // namespace test
}  // namespace tamrel
