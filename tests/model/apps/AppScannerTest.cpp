#include "model/apps/AppScanner.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "tests/model/Fixtures.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

class AppScannerTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string home = dir / "home/u";
    std::string root = dir / "sys";
    std::unique_ptr<DiskIndex> index;

    void SetUp() override {
        dir.mkdirs("home/u/Library");
        dir.mkdirs("sys/Applications");
    }
    std::vector<InstalledApp> scan() {
        ScanProgress progress;
        index = Scanner::scan(dir.path(), progress, 2);
        test::expectValidTree(*index);
        return AppScanner::scan(*index, home, root);
    }
    static const InstalledApp& byID(const std::vector<InstalledApp>& apps, std::string_view id) {
        const auto it = std::find_if(apps.begin(), apps.end(),
                                     [&](const InstalledApp& a) { return a.bundleID == id; });
        EXPECT_NE(it, apps.end()) << id;
        return *it;
    }
    std::vector<std::string> leftoverNames(const InstalledApp& app) {
        std::vector<std::string> names;
        for (const Leftover& l : app.leftovers)
            names.push_back(index->name(l.node));
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(AppScannerTest, LeavesOutSystemAndOwnBundles) {
    const std::vector<std::string> kept = {
        "com.apple.dt.Xcode",   "com.apple.iWork.Keynote",   "com.apple.GarageBand10",
        "com.apple.iMovieApp",  "com.apple.logic10",         "com.apple.FinalCut",
        "com.apple.TestFlight", "com.apple.motionapp",       "com.apple.Compressor",
        "com.apple.MainStage3", "com.apple.configurator.ui",
    };
    for (std::size_t i = 0; i < kept.size(); ++i) {
        test::makeBundle(dir, "sys/Applications/Kept" + std::to_string(i) + ".app",
                         {{"CFBundleIdentifier", kept[i]}}, i % 2 == 0);
    }
    test::makeBundle(dir, "sys/Applications/Safari.app",
                     {{"CFBundleIdentifier", "com.apple.Safari"}});
    test::makeBundle(dir, "sys/Applications/Pages.app",
                     {{"CFBundleIdentifier", "com.apple.iworkx"}});
    test::makeBundle(dir, "sys/Applications/Self.app",
                     {{"CFBundleIdentifier", "ORG.Tamrel.tamrel"}});
    test::makeBundle(dir, "sys/Applications/NoID.app", {{"CFBundleName", "No ID"}});
    dir.mkdirs("sys/Applications/Empty.app");
    dir.mkdirs("sys/Applications/Broken.app/Contents");
    dir.write("sys/Applications/Broken.app/Contents/Info.plist", 300);
    const auto apps = scan();
    std::vector<std::string> ids;
    for (const InstalledApp& a : apps)
        ids.push_back(a.bundleID);
    std::sort(ids.begin(), ids.end());
    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ids, expected);
}

TEST_F(AppScannerTest, NamesVersionsOriginsAndSizes) {
    test::makeBundle(dir, "home/u/Applications/Plain Tool.app",
                     {{"CFBundleIdentifier", "org.example.plain"}}, true);
    test::makeBundle(dir, "sys/Applications/Named.app",
                     {{"CFBundleIdentifier", "org.example.Named"},
                      {"CFBundleName", "Named Thing"},
                      {"CFBundleShortVersionString", "2.1"},
                      {"CFBundleExecutable", "named-bin"}});
    dir.mkdirs("sys/Applications/Named.app/Contents/MacOS");
    dir.write("sys/Applications/Named.app/Contents/MacOS/named-bin", 20000);
    dir.mkdirs("sys/Applications/Named.app/Contents/_MASReceipt");
    dir.write("sys/Applications/Named.app/Contents/_MASReceipt/receipt", 10);
    dir.mkdirs("sys/opt/homebrew/Caskroom/named/2.1/Named.app");
    test::makeBundle(dir, "sys/Applications/Shown.app",
                     {{"CFBundleIdentifier", "org.example.shown"},
                      {"CFBundleDisplayName", "Shown Name"},
                      {"CFBundleName", "Hidden Name"}});
    test::makeBundle(dir, "sys/Applications/Code.app",
                     {{"CFBundleIdentifier", "com.microsoft.VSCode"}});
    dir.mkdirs("home/u/.vscode/extensions");
    dir.write("home/u/.vscode/extensions/x", 5000);
    const auto apps = scan();
    ASSERT_EQ(apps.size(), 4u);
    EXPECT_EQ(apps.back().bundleID, "org.example.plain");  // the home folder's come last

    const InstalledApp& plain = byID(apps, "org.example.plain");
    EXPECT_EQ(plain.name, "Plain Tool");
    EXPECT_EQ(plain.path, dir / "home/u/Applications/Plain Tool.app");
    EXPECT_EQ(plain.version, "");
    EXPECT_FALSE(plain.appStore);
    EXPECT_FALSE(plain.homebrew);

    const InstalledApp& named = byID(apps, "org.example.Named");
    EXPECT_EQ(named.name, "Named Thing");
    EXPECT_EQ(named.version, "2.1");
    EXPECT_EQ(named.identity.names,
              (std::vector<std::string>{"Named Thing", "Named", "named-bin"}));
    EXPECT_TRUE(named.appStore);
    EXPECT_TRUE(named.homebrew);
    EXPECT_FALSE(named.lastUsed);
    EXPECT_FALSE(named.identity.team);
    EXPECT_FALSE(named.identity.teamExclusive);
    EXPECT_EQ(named.appSize, index->size(named.node));
    EXPECT_GE(named.appSize, 20000u);
    // The other applications' label and file names, and those without spaces; not its own.
    EXPECT_TRUE(named.identity.otherAppNames.contains("shown name"));
    EXPECT_TRUE(named.identity.otherAppNames.contains("shownname"));
    EXPECT_TRUE(named.identity.otherAppNames.contains("plaintool"));
    EXPECT_FALSE(named.identity.otherAppNames.contains("named thing"));
    EXPECT_FALSE(named.identity.otherAppNames.contains("named"));

    EXPECT_EQ(byID(apps, "org.example.shown").name, "Shown Name");

    const InstalledApp& code = byID(apps, "com.microsoft.VSCode");
    EXPECT_EQ(code.identity.extraPaths, AppScanner::extras().at("com.microsoft.vscode"));
    ASSERT_EQ(code.leftovers.size(), 1u);
    EXPECT_EQ(index->path(code.leftovers[0].node), dir / "home/u/.vscode");
    EXPECT_EQ(code.leftovers[0].kind, Leftover::Kind::tool);
    EXPECT_FALSE(code.leftovers[0].system);
    EXPECT_EQ(code.leftoverSize, index->size(code.leftovers[0].node));
}

TEST_F(AppScannerTest, NestedBundlesAddIdentifiersButNeverSparkle) {
    test::makeBundle(dir, "sys/Applications/One.app", {{"CFBundleIdentifier", "com.example.one"}});
    const std::string c = "sys/Applications/One.app/Contents";
    test::makeBundle(dir, c + "/Library/LoginItems/Updater.app",
                     {{"CFBundleIdentifier", "org.SPARKLE-project.Sparkle.Updater"}});
    test::makeBundle(dir, c + "/XPCServices/Helper.xpc",
                     {{"CFBundleIdentifier", "com.example.one.helper"}}, true);
    dir.mkdirs(c + "/PlugIns/NoID.appex");
    test::makeBundle(dir, c + "/Library/SystemExtensions/Ext.systemextension",
                     {{"CFBundleIdentifier", "com.example.oneext"}});
    dir.mkdirs(c + "/Library/LaunchServices");
    dir.write(c + "/Library/LaunchServices/com.example.one.Privileged", 10);
    test::makeBundle(dir, "sys/Applications/Many.app",
                     {{"CFBundleIdentifier", "com.example.many"}});
    for (int i = 0; i < 70; ++i) {
        test::makeBundle(
            dir, "sys/Applications/Many.app/Contents/PlugIns/P" + std::to_string(i) + ".appex",
            {{"CFBundleIdentifier", "com.example.many.p" + std::to_string(i)}});
    }
    dir.mkdirs("home/u/Library/Application Support/com.example.oneext");
    dir.mkdirs("home/u/Library/Application Support/org.sparkle-project.sparkle.updater");
    const auto apps = scan();
    const InstalledApp& one = byID(apps, "com.example.one");
    EXPECT_EQ(one.identity.bundleIDs,
              (std::vector<std::string>{"com.example.one", "com.example.one.helper",
                                        "com.example.oneext", "com.example.one.Privileged"}));
    EXPECT_EQ(leftoverNames(one), (std::vector<std::string>{"com.example.oneext"}));
    EXPECT_EQ(byID(apps, "com.example.many").identity.bundleIDs.size(), 65u);
}

TEST_F(AppScannerTest, SharedLeftoverGoesToTheAppItNamesOrToNobody) {
    test::makeBundle(dir, "sys/Applications/Shared.app",
                     {{"CFBundleIdentifier", "com.example.shared"}});
    test::makeBundle(dir, "sys/Applications/First.app",
                     {{"CFBundleIdentifier", "com.example.first"},
                      {"CFBundleExecutable", "com.example.shared"}});
    test::makeBundle(dir, "sys/Applications/Left.app",
                     {{"CFBundleIdentifier", "org.left.app"}, {"CFBundleExecutable", "Toolbox"}});
    test::makeBundle(dir, "sys/Applications/Right.app",
                     {{"CFBundleIdentifier", "org.right.app"}, {"CFBundleExecutable", "Toolbox"}});
    dir.mkdirs("home/u/Library/Application Support/com.example.shared");
    dir.write("home/u/Library/Application Support/com.example.shared/data", 8000);
    dir.mkdirs("home/u/Library/Application Support/Toolbox");
    dir.mkdirs("home/u/Library/Caches/com.example.first");
    dir.write("home/u/Library/Caches/com.example.first/c", 4000);
    dir.mkdirs("home/u/Library/Caches/org.left.app");
    const auto apps = scan();
    const InstalledApp& shared = byID(apps, "com.example.shared");
    const InstalledApp& first = byID(apps, "com.example.first");
    EXPECT_EQ(leftoverNames(shared), (std::vector<std::string>{"com.example.shared"}));
    EXPECT_EQ(leftoverNames(first), (std::vector<std::string>{"com.example.first"}));
    EXPECT_EQ(first.leftoverSize, index->size(first.leftovers[0].node));
    EXPECT_EQ(shared.leftoverSize, index->size(shared.leftovers[0].node));
    EXPECT_EQ(leftoverNames(byID(apps, "org.left.app")),
              (std::vector<std::string>{"org.left.app"}));
    EXPECT_TRUE(byID(apps, "org.right.app").leftovers.empty());
}

}  // namespace
}  // namespace tamrel
