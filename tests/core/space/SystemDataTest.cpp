#include "core/space/SystemData.h"

#include <gtest/gtest.h>

#include "tests/core/space/CleanTestHelpers.h"
#include "tests/support/IndexBuilder.h"

namespace tamrel {
namespace {

using test::H;
using test::kHome;

const SpaceBucket* bucketOf(const SystemDataReport& report, std::string_view id) {
    for (const SpaceBucket& b : report.buckets) {
        if (b.id == id) return &b;
    }
    return nullptr;
}

TEST(SystemData, TextsUseTheWordsOfThisSystem) {
    EXPECT_TRUE(test::namesOtherPlatform("Managed by macOS"));
    EXPECT_TRUE(test::namesOtherPlatform("no longer on this Mac."));
    EXPECT_FALSE(test::namesOtherPlatform("Machine learning"));

    test::IndexBuilder b;
    std::uint64_t bytes = 1;
    for (const std::string& folder :
         {H("/Library/Caches"), H("/Library/Logs"), std::string("/private/var/folders"),
          H("/.Trash"), H("/Library/Application Support/MobileSync/Backup"),
          H("/Library/Developer"), H("/.ollama"), H("/.docker"), H("/Library/Mail"),
          H("/Library/Containers"), std::string("/private/var/vm"),
          std::string("/Library/Updates")}) {
        b.file(folder + "/x", bytes++);
    }
    auto index = b.build();
    const SystemDataReport report = systemData(*index, kHome, VolumeFacts{});
    ASSERT_EQ(report.buckets.size(), 12u);
    for (const SpaceBucket& bucket : report.buckets) {
        EXPECT_FALSE(test::namesOtherPlatform(bucket.title)) << bucket.title;
        EXPECT_FALSE(test::namesOtherPlatform(bucket.blurb)) << bucket.blurb;
    }
    EXPECT_EQ(bucketOf(report, "macos")->title, "System support files");
    EXPECT_EQ(bucketOf(report, "temp")->blurb,
              "Scratch space apps use while running. The system clears most of it when you "
              "restart.");
    EXPECT_EQ(bucketOf(report, "ios")->blurb,
              "Full copies of your devices made by the file manager. Old ones are often "
              "forgotten.");
}

TEST(SystemData, NestedRuleFoldersCountTheirBytesOnce) {
    test::IndexBuilder b;
    b.file("/private/var/db/other", 1000);
    b.file("/private/var/db/diagnostics/d", 200);
    b.file("/private/var/db/uuidtext/u", 30);
    // A third rule folder between: the home Trash inside diagnostics.
    b.file("/private/var/db/diagnostics/u/.Trash/t", 5);
    b.file(H("/Library/Containers/com.docker.docker/disk.raw"), 7000);
    b.file(H("/Library/Containers/com.other/data"), 300);
    b.file(H("/Library/Containers/com.apple.mail/m"), 40);
    b.file(H("/.cache/huggingface/model"), 900);
    b.file(H("/.cache/misc"), 90);
    b.file(H("/Library/Caches/a"), 10);
    b.file(H("/.Trash/old"), 50);
    b.entry(H("/.ollama"), Kind::link, 0);  // a link is never a rule folder
    auto index = b.build();
    const SystemDataReport report = systemData(*index, kHome, VolumeFacts{});

    EXPECT_EQ(bucketOf(report, "macos")->bytes, 1000u);
    EXPECT_EQ(bucketOf(report, "logs")->bytes, 235u);
    EXPECT_EQ(bucketOf(report, "vm")->bytes, 7000u);
    EXPECT_EQ(bucketOf(report, "mail")->bytes, 40u);
    EXPECT_EQ(bucketOf(report, "appdata")->bytes, 300u);
    EXPECT_EQ(bucketOf(report, "ai")->bytes, 900u);
    EXPECT_EQ(bucketOf(report, "dev")->bytes, 90u);
    EXPECT_EQ(bucketOf(report, "trash")->bytes, 50u);
    EXPECT_EQ(bucketOf(report, "caches")->bytes, 10u);
    EXPECT_EQ(report.explained(), index->size(0));
    EXPECT_EQ(bucketOf(report, "appdata")->top,
              std::vector<NodeId>{test::idOf(*index, H("/Library/Containers/com.other"))})
        << "rule folders never appear in another bucket's top";
    EXPECT_EQ(bucketOf(report, "logs")->roots,
              (std::vector<NodeId>{test::idOf(*index, "/private/var/db/diagnostics"),
                                   test::idOf(*index, "/private/var/db/uuidtext")}));

    // With the home folder inside diagnostics, its Trash is kept too, and diagnostics lies
    // between it and db: it is subtracted from diagnostics only, not again from db.
    const SystemDataReport nested = systemData(*index, "/private/var/db/diagnostics/u", {});
    EXPECT_EQ(bucketOf(nested, "trash")->bytes, 5u);
    EXPECT_EQ(bucketOf(nested, "logs")->bytes, 230u);
    EXPECT_EQ(bucketOf(nested, "macos")->bytes, 1000u);
}

TEST(SystemData, OrderTopRemovedAndHomeless) {
    test::IndexBuilder b;
    for (int k = 0; k < 8; ++k)
        b.file("/Library/Caches/c" + std::to_string(k), 10 + (k == 5 ? 5 : 0));
    b.file("/Library/Caches/zero", 0);
    b.file("/Library/Caches/gone", 100);
    b.file("/private/tmp/t", 85);  // temp ties caches; caches comes first in the table
    b.file(H("/Library/Logs/l"), 500);
    b.file(H("/.Trash/x"), 1);
    b.file("/.Trash/x", 1);
    b.removed("/Library/Caches/gone");
    b.removed(H("/Library/Logs"));
    auto index = b.build();

    const SystemDataReport report = systemData(*index, kHome, {});
    ASSERT_EQ(report.buckets.size(), 3u);
    EXPECT_EQ(report.buckets[0].id, "caches");
    EXPECT_EQ(report.buckets[1].id, "temp");
    EXPECT_EQ(report.buckets[2].id, "trash");
    std::vector<NodeId> top;
    for (int k : {5, 0, 1, 2, 3, 4})
        top.push_back(test::idOf(*index, "/Library/Caches/c" + std::to_string(k)));
    EXPECT_EQ(report.buckets[0].top, top);
    EXPECT_EQ(report.buckets[0].title, "Caches");
    EXPECT_EQ(report.buckets[0].advice, SpaceBucket::Advice::safe);
    EXPECT_EQ(report.buckets[1].advice, SpaceBucket::Advice::system);

    // Without a usable home folder, home + "/.Trash" must not become "/.Trash".
    for (const char* home : {"", "/", "relative"}) {
        const SystemDataReport homeless = systemData(*index, home, {});
        EXPECT_FALSE(bucketOf(homeless, "trash")) << home;
        EXPECT_TRUE(bucketOf(homeless, "caches")) << home;
    }
}

TEST(SystemData, VolumeFiguresUnseenAndUnreadable) {
    test::IndexBuilder b;
    b.file("/a/f", 1000);
    b.dir("/a/locked", 0, Flag::denied);
    b.dir("/b/locked", 0, Flag::denied);
    b.dir("/b/open");
    b.removed("/b");
    auto index = b.build();
    const VolumeFacts facts{5000, 300, 2};
    const SystemDataReport report = systemData(*index, kHome, facts);
    EXPECT_TRUE(report.buckets.empty());
    EXPECT_EQ(report.used, 5000u);
    EXPECT_EQ(report.purgeable, 300u);
    EXPECT_EQ(report.snapshots, 2);
    EXPECT_EQ(report.unseen, 4000u);
    EXPECT_EQ(report.unreadable, 2) << "a denied folder inside a removed one still counts";
    EXPECT_EQ(systemData(*index, kHome, VolumeFacts{500, 0, 0}).unseen, 0u);

    test::IndexBuilder h(std::string{kHome});
    h.file(H("/Library/Caches/x"), 64);
    auto homeIndex = h.build();
    const SystemDataReport homeReport = systemData(*homeIndex, kHome, facts);
    EXPECT_EQ(homeReport.unseen, 0u) << "only an index of / has unseen bytes";
    EXPECT_EQ(homeReport.used, 5000u);
    ASSERT_EQ(homeReport.buckets.size(), 1u);
    EXPECT_EQ(homeReport.explained(), 64u);

    // A root that could not be opened is the one node, and it counts.
    test::IndexBuilder closed;
    closed.dir("/", 0, Flag::denied);
    const SystemDataReport closedReport = systemData(*closed.build(), kHome, facts);
    EXPECT_EQ(closedReport.unreadable, 1);
    EXPECT_EQ(closedReport.unseen, 5000u);
    EXPECT_TRUE(closedReport.buckets.empty());

    EXPECT_EQ(adviceFromRaw("review"), SpaceBucket::Advice::review);
    EXPECT_FALSE(adviceFromRaw("Review"));
}

}  // namespace
}  // namespace tamrel
