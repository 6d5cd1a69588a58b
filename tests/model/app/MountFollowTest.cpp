#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/live/Watcher.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"

#include "model/app/VolumeList.h"
#include "model/system/MountTable.h"
#include "platform/Spawn.h"
#include "tests/model/app/ModelFixture.h"
#include "tests/support/PrivateMounts.h"
#include "tests/support/SameTree.h"

namespace tamrel::test {
namespace {

TEST(VolumeList, TheMountAPathLiesOnAndWhetherItIsGone) {
    const std::string root = "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n";
    const std::string usb = "2 1 8:17 / /media/usb rw - vfat /dev/sdb1 rw\n";
    const std::string other = "3 1 8:33 / /media/usb rw - ext4 /dev/sdc1 rw\n";
    const std::string media = "4 1 0:40 / /media rw - tmpfs tmpfs rw\n";
    const std::string below = "5 2 0:41 / /media/usb/sub rw - tmpfs tmpfs rw\n";
    struct Case {
        std::string before, after, path;
        const char* mountPoint;  // in `before`
        bool gone;
    };
    const Case cases[] = {
        {root + usb, root, "/media/usb/photos", "/media/usb", true},            // unmounted
        {root + usb, root + usb, "/media/usb", "/media/usb", false},            // nothing changed
        {root + usb, root + usb + other, "/media/usb", "/media/usb", true},     // another on top
        {root + usb, root + usb + media, "/media/usb/a", "/media/usb", true},   // covered above
        {root + usb, root + usb + below, "/media/usb/a", "/media/usb", false},  // a mount below
        {root + usb, root, "/media/usbstick", "/", false},  // not the same folder
        {root, "", "/home", "/", true},
        {"", root, "/home", nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before + "->\n" + c.after + c.path);
        const auto before = MountPolicy::parseMounts(c.before);
        const MountInfo* on = mountOf(c.path, before);
        EXPECT_EQ(on ? on->point : "none", c.mountPoint ? c.mountPoint : "none");
        EXPECT_EQ(mountGone(c.path, before, MountPolicy::parseMounts(c.after)), c.gone);
    }
}

const std::string mkfs = "/usr/sbin/mkfs.ext4";
const std::string mountProgram = "/usr/bin/mount";
const std::string umountProgram = "/usr/bin/umount";

// The tests below mount loop disks: they need root (else they are skipped), and run in a mount
// namespace of their own, so that nothing outside sees the disks. Each runs itself again in a
// new process that must enter one at its start (see main.cpp).
bool inOwnMounts() {
    return std::getenv("TAMREL_PRIVATE_MOUNTS") != nullptr;
}
bool canMount() {
    return inOwnMounts() ||
           (::geteuid() == 0 && privateMountsWork() && ::access(mkfs.c_str(), X_OK) == 0 &&
            ::access(mountProgram.c_str(), X_OK) == 0);
}
// Whether the calling test runs in that process; if not, it has been run there and must return.
bool insideOwnMounts(const std::string& test) {
    if (inOwnMounts()) return true;
    ScopedEnv inside("TAMREL_PRIVATE_MOUNTS", "1");
    const std::optional<std::string> out =
        programOutput("/proc/self/exe", {"--gtest_filter=MountFollow." + test});
    EXPECT_TRUE(out);
    if (out) {
        EXPECT_NE(out->find("[  PASSED  ] 1 test"), std::string::npos) << *out;
    }
    return false;
}

// An empty ext4 disk image of 16 MB at `image`.
void makeDisk(const std::string& image) {
    std::ofstream{image};
    ASSERT_EQ(::truncate(image.c_str(), 16 << 20), 0);
    ASSERT_EQ(runProgram(mkfs, {"-q", "-F", image}), 0);
}

// A disk mounted and unmounted while the model runs: the sidebar's list follows the mount
// table, and the shown index of the disk is left with a toast once it is gone.
// A tree with a data folder and an ext4 disk image (outside it) to be mounted at its folder
// "media/usb"; $HOME and the saved indexes outside the tree.
struct DiskInTree {
    TempDir tree, outside;
    ScopedDataHome data;
    ScopedEnv home{"HOME", outside.path()};
    std::string point = tree / "media/usb";
    std::string image = outside / "usb.img";

    DiskInTree() {
        tree.mkdirs("data");
        tree.write("data/a.txt", 5000);
        tree.mkdirs("media/usb");
        makeDisk(image);
    }
    void mount() const { ASSERT_EQ(runProgram(mountProgram, {"-o", "loop", image, point}), 0); }
};

TEST(MountFollow, ADiskThatComesAndGoes) {
    if (!canMount()) GTEST_SKIP() << "needs root, mount namespaces, mkfs.ext4 and mount";
    if (!insideOwnMounts("ADiskThatComesAndGoes")) return;
    TempDir tree;
    ScopedDataHome data;
    ScopedEnv home("HOME", tree.path());
    tree.mkdirs("disk");
    const std::string disk = tree.path() + "/disk";
    makeDisk(tree.path() + "/disk.img");
    const std::string image = tree.path() + "/disk.img";

    MountTable table;
    ASSERT_TRUE(table.valid());
    EXPECT_FALSE(table.changed(std::chrono::milliseconds(0)));
    FakeDesktop desktop;
    AppModel::Options options;
    options.startUp = false;
    options.watcher.allowFanotify = false;
    AppModel m(desktop, options);
    m.refreshVolumes();
    const auto listed = [&] {
        for (const Volume& v : m.volumes())
            if (v.url == disk) return true;
        return false;
    };
    ASSERT_FALSE(listed());

    ASSERT_EQ(runProgram(mountProgram, {"-o", "loop", image, disk}), 0);
    // The kernel tells of the change; the model lists the new disk by itself.
    EXPECT_TRUE(table.changed(std::chrono::milliseconds(2000)));
    ASSERT_TRUE(waitFor(listed, std::chrono::seconds(10)));
    const Volume shown = *std::find_if(m.volumes().begin(), m.volumes().end(),
                                       [&](const Volume& v) { return v.url == disk; });
    EXPECT_EQ(shown.name, "disk");
    EXPECT_GT(shown.total, 0u);

    // Shown and watched, then unmounted: the model leaves it for the Welcome screen.
    tree.write("disk/file.bin", 100'000);
    m.scan(disk, true);
    ASSERT_TRUE(waitFor([&] { return m.phase() == Phase::results && m.index(); },
                        std::chrono::seconds(10)));
    ASSERT_TRUE(waitFor([&] { return m.sync() == Sync::live; }, std::chrono::seconds(10)));
    ASSERT_EQ(runProgram(umountProgram, {disk}), 0);
    EXPECT_TRUE(table.changed(std::chrono::milliseconds(2000)));
    ASSERT_TRUE(waitFor([&] { return m.phase() == Phase::home; }, std::chrono::seconds(10)));
    EXPECT_FALSE(m.index());
    EXPECT_FALSE(m.scanTarget());
    EXPECT_FALSE(listed());
    ASSERT_TRUE(m.toast());
    EXPECT_EQ(m.toast()->title, "disk is no longer there");
    EXPECT_FALSE(m.toast()->good);
}

// A disk mounted inside a followed tree comes into its index, and leaves it when unmounted, as a
// fresh scan would find the tree; so do the disks mounted and unmounted while the program was
// closed, at the next open of the saved index.
TEST(MountFollow, ADiskInsideTheTreeLiveAndWhileClosed) {
    if (!canMount()) GTEST_SKIP() << "needs root, mount namespaces, mkfs.ext4 and mount";
    if (!insideOwnMounts("ADiskInsideTheTreeLiveAndWhileClosed")) return;
    DiskInTree fixture;
    TempDir& tree = fixture.tree;
    const std::string& point = fixture.point;
    const auto mount = [&] { fixture.mount(); };
    const auto unmount = [&] { ASSERT_EQ(runProgram(umountProgram, {point}), 0); };
    mount();
    tree.write("media/usb/movie.bin", 300'000);
    tree.mkdirs("media/usb/photos");
    unmount();

    FakeDesktop desktop;
    AppModel::Options options;
    options.startUp = false;
    options.watcher.allowFanotify = false;
    // Follows the tree until its index shows the disk (or not) and equals a fresh scan.
    const auto follow = [&](AppModel& m, bool withDisk) {
        const std::string movie = point + "/movie.bin";
        ASSERT_TRUE(waitFor(
            [&] {
                const IndexRef index = m.index();
                return m.phase() == Phase::results && index && m.sync() == Sync::live &&
                       index->lookup(movie).has_value() == withDisk;
            },
            std::chrono::seconds(20)))
            << (withDisk ? "the disk never came in" : "the disk never left");
        ScanProgress progress;
        expectSameTree(*m.index(), *Scanner::scan(tree.path(), progress, 2));
    };
    {
        AppModel m(desktop, options);
        m.scan(tree.path(), true);
        follow(m, false);
        mount();
        follow(m, true);
        unmount();
        follow(m, false);
        mount();
        follow(m, true);
    }
    unmount();  // while closed
    {
        AppModel m(desktop, options);
        m.scan(tree.path(), false);
        follow(m, false);
    }
    mount();
    {
        AppModel m(desktop, options);
        m.scan(tree.path(), false);
        follow(m, true);
    }
    unmount();
}

// Following a tree never keeps a disk in it busy: with either watch backend, a disk mounted at a
// folder of the tree, or at its root, unmounts at once (not lazily) while the model follows it.
// The index then goes without the disk as a fresh scan finds the tree; a root that went leaves
// the index for the Welcome screen. A disk inside is followed also after a folder above it moved.
TEST(MountFollow, AFollowedDiskUnmountsAtOnce) {
    if (!canMount()) GTEST_SKIP() << "needs root, mount namespaces, mkfs.ext4 and mount";
    if (!insideOwnMounts("AFollowedDiskUnmountsAtOnce")) return;
    DiskInTree fixture;
    TempDir& tree = fixture.tree;
    const std::string& point = fixture.point;
    const auto mount = [&] { fixture.mount(); };
    mount();
    tree.mkdirs("media/usb/photos");
    tree.write("media/usb/photos/a.jpg", 300'000);
    ASSERT_EQ(::umount2(point.c_str(), 0), 0);
    const bool fanotify = [] {
        TempDir probe;
        Watcher w(
            probe.path(), 0, [](Changes) {}, [] {});
        return w.status().mode == Watcher::Status::Mode::fanotify;
    }();

    FakeDesktop desktop;
    for (const bool withFanotify : {false, true}) {
        for (const bool atRoot : {false, true}) {
            SCOPED_TRACE(std::string(withFanotify ? "fanotify" : "inotify") +
                         (atRoot ? ", the disk is the root" : ", the disk is inside"));
            if (withFanotify && !fanotify) continue;
            // What a failed case leaves mounted goes with it, before the folders do.
            struct Detach {
                std::string point;
                ~Detach() { ::umount2(point.c_str(), MNT_DETACH); }
            } const left[] = {{point}, {tree / "moved/usb"}};
            mount();
            const std::string root = atRoot ? point : tree.path();
            AppModel::Options options;
            options.startUp = false;
            options.watcher.allowFanotify = withFanotify;
            AppModel m(desktop, options);
            m.scan(root, true);
            ASSERT_TRUE(waitFor(
                [&] {
                    const IndexRef index = m.index();
                    return m.phase() == Phase::results && index && m.sync() == Sync::live &&
                           index->lookup(point + "/photos/a.jpg");
                },
                std::chrono::seconds(20)));
            // Inside, the folder above the disk moves first: the disk's later changes still
            // come in, at its new place.
            std::string at = point;
            if (!atRoot) {
                ASSERT_EQ(::rename((tree / "media").c_str(), (tree / "moved").c_str()), 0);
                at = tree / "moved/usb";
                ASSERT_TRUE(waitFor(
                    [&] {
                        const IndexRef index = m.index();
                        return index && m.sync() == Sync::live && index->lookup(at + "/photos");
                    },
                    std::chrono::seconds(20)));
                // A name of its own in each case: the disk keeps the files of the cases before.
                const std::string file =
                    std::string("photos/") + (withFanotify ? "f" : "i") + ".jpg";
                tree.write("moved/usb/" + file, 1000);
                ASSERT_TRUE(waitFor(
                    [&] {
                        const IndexRef index = m.index();
                        return index && m.sync() == Sync::live && index->lookup(at + "/" + file);
                    },
                    std::chrono::seconds(20)))
                    << "the disk's change never came in";
            }
            ASSERT_EQ(::umount2(at.c_str(), 0), 0) << std::strerror(errno);
            if (atRoot) {
                ASSERT_TRUE(
                    waitFor([&] { return m.phase() == Phase::home; }, std::chrono::seconds(20)));
                EXPECT_FALSE(m.index());
                ASSERT_TRUE(m.toast());
                EXPECT_EQ(m.toast()->title, "usb is no longer there");
                continue;
            }
            ASSERT_TRUE(waitFor(
                [&] {
                    const IndexRef index = m.index();
                    return index && m.sync() == Sync::live &&
                           !index->lookup(at + "/photos").has_value();
                },
                std::chrono::seconds(20)))
                << "the disk never left";
            ScanProgress progress;
            expectSameTree(*m.index(), *Scanner::scan(tree.path(), progress, 2));
            ASSERT_EQ(::rename((tree / "moved").c_str(), (tree / "media").c_str()), 0);
        }
    }
}

}  // namespace
}  // namespace tamrel::test
