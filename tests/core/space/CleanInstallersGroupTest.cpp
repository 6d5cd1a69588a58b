#include <gtest/gtest.h>

#include "core/space/CleanPlan.h"
#include "tests/core/space/CleanTestHelpers.h"
#include "tests/support/IndexBuilder.h"

namespace tamrel {
namespace {

using test::H;
using test::kDay;
using test::kMiB;
using test::kNow;

TEST(CleanInstallersGroup, InstallersByExtensionPlaceAndAge) {
    test::IndexBuilder b;
    b.file(H("/Downloads/two.dmg"), 6 * kMiB, kNow - 2 * kDay);
    b.file(H("/Downloads/three.pkg"), 5 * kMiB, kNow - 3 * kDay);
    b.file(H("/Downloads/zero.ISO"), 4 * kMiB, 0);
    b.file(H("/Downloads/nested/deeper/fw.ipsw"), 3 * kMiB, kNow - 40 * kDay);
    b.file(H("/Downloads/Bundle.pkg/Contents/x"), 9 * kMiB);  // a package folder
    b.file(H("/Downloads/.dmg"), kMiB, 1);                    // no extension
    b.file(H("/Downloads/movie.mp4"), 9 * kMiB, 1);
    b.file(H("/Desktop/x.xip"), 2 * kMiB, kNow - 9 * kDay);
    b.file(H("/Documents/y.mpkg"), 2 * kMiB, kNow - 9 * kDay);
    b.file(H("/Library/iTunes/iPhone Software Updates/z.ipsw"), 2 * kMiB, kNow - 9 * kDay);
    b.file(H("/Music/w.dmg"), 2 * kMiB, kNow - 9 * kDay);
    b.file("/Applications/Install macOS Sonoma.app/x", 7 * kMiB)
        .dir("/Applications/Install macOS Sonoma.app", kNow - 15 * kDay);
    b.file("/Applications/Install macOS Ventura.app/x", 7 * kMiB)
        .dir("/Applications/Install macOS Ventura.app", kNow - 15 * kDay + 1);
    b.file("/Applications/Safari.app/x", 7 * kMiB).dir("/Applications/Safari.app", 1);
    b.file(H("/Downloads/gone.dmg"), kMiB, 1);
    b.removed(H("/Downloads/gone.dmg"));
    auto index = b.build();
    const auto plan = cleanPlan(*index, test::fixedContext(), kMiB);

    EXPECT_EQ(test::pathsOf(plan, *index, "installers"),
              (std::vector<std::string>{
                  "/Applications/Install macOS Sonoma.app", H("/Downloads/two.dmg"),
                  H("/Downloads/three.pkg"), H("/Downloads/zero.ISO"),
                  H("/Downloads/nested/deeper/fw.ipsw"), H("/Desktop/x.xip"),
                  H("/Documents/y.mpkg"), H("/Library/iTunes/iPhone Software Updates/z.ipsw")}));
    const CleanGroup* g = test::groupOf(plan, "installers");
    ASSERT_TRUE(g);
    for (const CleanItem& it : g->items)
        EXPECT_TRUE(it.on);
    auto note = [&](const std::string& path) {
        return test::findItem(plan, *index, path)->item.note;
    };
    EXPECT_EQ(note(H("/Downloads/two.dmg")), "Downloaded 2 days ago");
    EXPECT_FALSE(note(H("/Downloads/three.pkg")));
    EXPECT_EQ(note(H("/Downloads/zero.ISO")), "Downloaded 0 days ago");
    EXPECT_EQ(note("/Applications/Install macOS Sonoma.app"), "System installer");
}

}  // namespace
}  // namespace tamrel
