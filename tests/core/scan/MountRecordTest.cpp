#include "core/scan/MountRecord.h"

#include <sys/sysmacros.h>

#include <gtest/gtest.h>

#include "core/index/IndexWriter.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "tests/support/TempDir.h"

namespace tamrel {
namespace {

// The mounts an index held when it was listed against the mount table now: the folders to
// list again are those whose mount came, went or changed, the outermost of them only.
TEST(MountRecord, ChangedMountsAreTheFoldersWhoseMountDiffers) {
    test::TempDir dir;
    dir.mkdirs("a/b");
    dir.mkdirs("a/b c");
    dir.mkdirs("d");
    ScanProgress progress;
    auto index = Scanner::scan(dir.path(), progress, 1);
    const auto disk = [&](const char* at, unsigned minor, const char* type = "ext4") {
        return MountInfo{makedev(8, minor), at[0] ? dir / at : dir.path(), type};
    };
    const auto held = [&](const char* at, unsigned minor, const char* type = "ext4") {
        const MountInfo m = disk(at, minor, type);
        return HeldMount{m.point, m.device, m.type};
    };
    const MountInfo root{makedev(8, 1), "/", "ext4"};
    struct Case {
        const char* what;
        std::vector<HeldMount> was;
        std::vector<MountInfo> now;
        std::vector<std::string> relist;  // below dir
    };
    const Case cases[] = {
        {"none, then or now", {}, {root}, {}},
        {"unchanged", {held("a", 17)}, {root, disk("a", 17)}, {}},
        {"unmounted", {held("a", 17)}, {root}, {"a"}},
        {"mounted", {}, {root, disk("d", 17)}, {"d"}},
        {"another disk", {held("a", 17)}, {root, disk("a", 33)}, {"a"}},
        {"another type", {held("a", 17)}, {root, disk("a", 17, "vfat")}, {"a"}},
        {"the outer one only", {held("a", 17), held("a/b", 18)}, {root}, {"a"}},
        {"a space in the name", {}, {root, disk("a/b c", 18, "tmpfs")}, {"a/b c"}},
        {"two apart", {held("a/b", 18)}, {root, disk("d", 17)}, {"a/b", "d"}},
        {"stacked: the last counts", {held("d", 18)}, {disk("d", 17), disk("d", 18)}, {}},
        {"a folder the index lacks", {}, {root, disk("x/y", 17)}, {}},
        {"the root itself", {held("", 40)}, {root}, {""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IndexWriter::setMounts(*index, HeldMounts{true, c.was});
        std::vector<std::string> want;
        for (const std::string& r : c.relist)
            want.push_back(r.empty() ? dir.path() : dir / r);
        EXPECT_EQ(changedMounts(*index, c.now), want);
    }
    IndexWriter::setMounts(*index, HeldMounts{false, {}});
    EXPECT_TRUE(changedMounts(*index, {root, disk("d", 17)}).empty()) << "nothing known, nothing told";
    EXPECT_EQ(heldMounts(*index, {root, disk("d", 17), disk("x", 18)}),
              (HeldMounts{true, {held("d", 17)}}));
}

}  // namespace
}  // namespace tamrel
