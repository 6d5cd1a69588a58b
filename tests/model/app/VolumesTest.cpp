#include "model/app/VolumeList.h"

#include "tests/model/app/ModelFixture.h"

namespace tamrel::test {
namespace {

TEST(VolumeList, LocalDisksOnceEachAndNothingElse) {
    TempDir dir;
    dir.mkdirs("disk");
    dir.mkdirs("bind");
    const std::string text =
        "1 0 7:1 / " + dir.path() + "/disk rw - ext4 /dev/loop1 rw\n" + "2 0 7:1 /sub " +
        dir.path() + "/bind rw - ext4 /dev/loop1 rw\n" +        // the same device
        "3 0 0:60 / /net/dead rw - nfs4 server:/export rw\n" +  // never touched
        "4 0 0:61 / /run/user/1000/doc rw - fuse.portal portal rw\n" + "5 0 0:62 / " + dir.path() +
        " rw - tmpfs tmpfs rw\n" + "6 0 7:2 / " + dir.path() +
        "/gone rw - xfs /dev/loop2 rw\n";  // statvfs fails
    const std::vector<Volume> volumes = volumesOf(text);
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_EQ(volumes[0].url, dir.path() + "/disk");
    EXPECT_EQ(volumes[0].name, "disk");
    EXPECT_GT(volumes[0].total, 0u);
    EXPECT_LE(volumes[0].free, volumes[0].total);
}

TEST(VolumeList, AMountThatIsNoVolumeDoesNotHideItsDevice) {
    // Containers bind single files of the host disk (/etc/hosts) before its folders; a mount
    // point that is gone or not a folder is no volume and must not take its device's place.
    TempDir dir;
    dir.write("hosts", 10);
    dir.mkdirs("home");
    std::string text;
    for (const char* name : {"hosts", "gone", "home"})
        text += "1 0 7:1 /x " + dir.path() + "/" + name + " rw - ext4 /dev/loop1 rw\n";
    const std::vector<Volume> volumes = volumesOf(text);
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_EQ(volumes[0].url, dir.path() + "/home");
}

TEST(VolumeList, TheSystemVolumeWithoutALabelIsComputer) {
    const auto volumes = volumesOf("1 0 0:200 / / rw - ext4 /dev/nothing-here rw\n");
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_EQ(volumes[0].name, "Computer");
    EXPECT_FALSE(volumes[0].isInternal);  // no /sys entry for it: not reported
}

class VolumesTest : public ModelTest {};

TEST_F(VolumesTest, PlacesThatExistInTheirOrderAndTheExpectedBytes) {
    tree.mkdirs("home/Desktop");
    tree.mkdirs("home/Downloads");
    ::symlink("/nowhere", (tree / "home/Library").c_str());  // any entry counts
    AppModel& m = model();
    m.refreshVolumes();
    std::vector<QString> names;
    for (const Place& p : m.places())
        names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<QString>{"Home", "Downloads", "Desktop", "Library"}));
    EXPECT_EQ(m.places()[1],
              (Place{"Downloads", "arrow.down.circle.fill", tree / "home/Downloads", 0x4FA8F7}));
    if (::geteuid() != 0) {
        EXPECT_FALSE(m.hasFullDiskAccess());
    }

    // No index anywhere: nothing dated, and the model stays at home.
    EXPECT_TRUE(m.indexed().empty());
    EXPECT_FALSE(m.expectedScanBytes());
    QSignalSpy places(&m.places, &PropertyNotifier::changed);
    m.refreshVolumes();
    EXPECT_EQ(places.count(), 0);  // an equal list is not announced

    if (!m.volumes().empty()) {
        const Volume& v = m.volumes()[0];
        m.scan(v.url, true);
        EXPECT_EQ(m.expectedScanBytes(), v.total - v.free);
        m.progress()->cancel();
        ASSERT_TRUE(waitFor([&] { return m.phase() == Phase::home; }));
    }
    m.scan(tree / "home/Downloads", true);
    EXPECT_FALSE(m.expectedScanBytes());
    ASSERT_TRUE(waitFor([&] { return m.phase() == Phase::results; }));
}

TEST_F(VolumesTest, TheCleanUpContextKnowsThisProcess) {
    const CleanContext context = AppModel::cleanContext();
    EXPECT_TRUE(context.running.contains("tamrel_model_tests"));
    EXPECT_EQ(context.home, tree / "home");
}

}  // namespace
}  // namespace tamrel::test
