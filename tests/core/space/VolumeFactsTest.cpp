#include "core/space/VolumeFacts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "tests/support/TempDir.h"

namespace tamrel {
namespace {

TEST(VolumeFacts, CountsSnapshotLines) {
    EXPECT_EQ(
        snapshotLines("Snapshots for disk /:\ncom.apple.TimeMachine.1\n\ncom.apple.os.update-2\n"),
        2);
    EXPECT_EQ(snapshotLines("com.apple.x"), 1);
    EXPECT_EQ(snapshotLines("\n\n\nCOM.APPLE.x\n"), 0);
    EXPECT_EQ(snapshotLines(""), 0);
}

TEST(VolumeFacts, CapacityFromStatvfs) {
    struct statvfs st {};
    st.f_bsize = 1 << 20;  // the preferred I/O size, not the unit of the block counts
    st.f_frsize = 4096;
    st.f_blocks = 1'000'000;
    st.f_bfree = 300'000;
    st.f_bavail = 250'000;  // 50,000 blocks reserved for root
    const VolumeCapacity c = volumeCapacity(st);
    EXPECT_EQ(c.total, 950'000u * 4096);
    EXPECT_EQ(c.available, 250'000u * 4096);
    EXPECT_EQ(usedBytes(c), 700'000u * 4096);

    // A file system that reports more available than free blocks reserves nothing.
    st.f_bfree = 10;
    st.f_bavail = 20;
    EXPECT_EQ(volumeCapacity(st).total, 1'000'000u * 4096);
    // Beyond 4 GiB blocks of 4 KiB the products still fit.
    st.f_blocks = 1ull << 40;
    st.f_bfree = st.f_bavail = 1ull << 39;
    EXPECT_EQ(usedBytes(volumeCapacity(st)), (1ull << 39) * 4096);

    EXPECT_EQ(usedBytes({11, 10}), 1u);
    EXPECT_EQ(usedBytes({10, 10}), 0u);
    EXPECT_EQ(usedBytes({10, 11}), 0u) << "more available than the total is no use";
}

TEST(VolumeFacts, RunsTheToolToTheEndOfItsOutput) {
    test::TempDir dir;
    const std::string tool = dir / "tmutil";
    {
        // Far more than a pipe holds, noise on stderr, a failing exit status, and the path
        // passed as the second argument.
        std::ofstream script(tool);
        script << "#!/bin/sh\n"
                  "[ \"$1\" = listlocalsnapshots ] || exit 3\n"
                  "echo \"Snapshots for $2\"\n"
                  "i=0; while [ $i -lt 20000 ]; do echo com.apple.TimeMachine.$i.local; "
                  "i=$((i+1)); done\n"
                  "echo noise >&2\n"
                  "exit 1\n";
    }
    ASSERT_EQ(::chmod(tool.c_str(), 0755), 0);
    EXPECT_EQ(countLocalSnapshots(tool, "/"), 20000);
    EXPECT_EQ(countLocalSnapshots(dir / "missing", "/"), 0);

    const VolumeFacts facts = VolumeFacts::read(dir.path());
    EXPECT_GT(facts.used, 0u);
    EXPECT_EQ(facts.purgeable, 0u);
    EXPECT_EQ(facts.snapshots, 0) << "no /usr/bin/tmutil on Linux";
    EXPECT_EQ(VolumeFacts::read(dir / "no/such/path"), (VolumeFacts{0, 0, 0}));
}

}  // namespace
}  // namespace tamrel
