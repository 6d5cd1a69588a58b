#include "tests/model/Fixtures.h"

#include <plist/plist.h>

#include <QCoreApplication>
#include <sys/stat.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <gtest/gtest.h>

#include "tests/support/Child.h"

namespace tamrel::test {

void writePlist(const std::string& file, const Texts& texts, bool binary) {
    plist_t dict = plist_new_dict();
    for (const auto& [key, value] : texts)
        plist_dict_set_item(dict, key.c_str(), plist_new_string(value.c_str()));
    char* bytes = nullptr;
    uint32_t length = 0;
    if (binary) {
        plist_to_bin(dict, &bytes, &length);
    } else {
        plist_to_xml(dict, &bytes, &length);
    }
    plist_free(dict);
    std::ofstream out(file, std::ios::binary);
    out.write(bytes, length);
    std::free(bytes);
    ASSERT_TRUE(out.good()) << file;
}

void makeBundle(const TempDir& dir, std::string_view relative, const Texts& texts, bool binary) {
    const std::string contents = std::string(relative) + "/Contents";
    dir.mkdirs(contents);
    writePlist(dir / (contents + "/Info.plist"), texts, binary);
}

std::optional<std::string> FakePlatform::applicationPath(const std::string& bundleID) {
    const std::lock_guard guard(lock);
    asked.push_back(bundleID);
    const auto it = apps.find(bundleID);
    if (it == apps.end()) return std::nullopt;
    return it->second;
}

int FakePlatform::run(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> line = {program};
    line.insert(line.end(), args.begin(), args.end());
    const std::lock_guard guard(lock);
    runs.push_back(std::move(line));
    return 0;
}

bool FakePlatform::trashAsAdministrator(const std::vector<ElevatedItem>& items,
                                       const std::atomic<bool>& stop) {
    elevations.push_back(items);
    elevatedOn = std::this_thread::get_id();
    if (waits) {
        prompting = true;
        // A safety net only: a caller that never stops would otherwise hang the test.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!stop.load() && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        prompting = false;
        forsaken = !stop.load();
        return false;
    }
    if (allow && onElevate) onElevate(items);
    return allow;
}

void offMainThread(const std::function<void()>& work) {
    std::atomic<bool> done = false;
    std::thread worker([&] {
        work();
        done = true;
        // Wakes the main thread's wait below.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    worker.join();
}

void moveAway(const std::string& path, const std::string& into) {
    const std::string target = into + "/" + path.substr(path.rfind('/') + 1);
    ASSERT_EQ(std::rename(path.c_str(), target.c_str()), 0) << path << ": " << std::strerror(errno);
}

void renameInAsAnotherUser(const std::string& path, const std::string& other) {
    const std::string shared = path.substr(0, path.rfind('/'));
    ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
    const int status = inChild([&] {
        if (::geteuid() == 0 && !becomeNobody()) return 2;
        return std::rename(path.c_str(), (path + ".x").c_str()) == 0 &&
                       std::rename(other.c_str(), path.c_str()) == 0
                   ? 0
                   : 1;
    });
    ASSERT_EQ(status, 0) << path;
}

}  // namespace tamrel::test

namespace tamrel {

void PrintTo(const Remover::Outcome& outcome, std::ostream* os) {
    *os << "removed {";
    for (NodeId n : outcome.removed)
        *os << " " << n;
    *os << " } failures {";
    for (const std::string& f : outcome.failures)
        *os << " \"" << f << "\"";
    *os << " }";
}

}  // namespace tamrel
