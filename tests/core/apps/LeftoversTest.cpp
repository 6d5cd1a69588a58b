#include "core/apps/Leftovers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/index/IndexWriter.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "tests/support/TempDir.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

using LKind = Leftover::Kind;

// A temporary tree with a fake home ("home/u") and system folders below "sys".
class LeftoversFixture : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string home = dir / "home/u";
    std::string root = dir / "sys";
    std::unique_ptr<DiskIndex> index;

    void SetUp() override {
        dir.mkdirs("home/u/Library");
        dir.mkdirs("sys/Library");
    }

    void lib(std::string_view relative, std::size_t bytes = 0) {
        file("home/u/Library/" + std::string(relative), bytes);
    }
    void file(const std::string& relative, std::size_t bytes) {
        const auto slash = relative.rfind('/');
        dir.mkdirs(relative.substr(0, slash));
        dir.write(relative, bytes);
    }
    void scan() {
        ScanProgress progress;
        index = Scanner::scan(dir.path(), progress, 2);
        test::expectValidTree(*index);
    }
    // Leftovers as "path relative to the temporary folder" -> kind (system items marked "!").
    std::map<std::string, std::string> found(const AppIdentity& app) {
        std::map<std::string, std::string> out;
        for (const Leftover& l : leftovers(*index, app, home, root)) {
            out[index->path(l.node).substr(dir.path().size() + 1)] =
                std::string(Leftover::rawValue(l.kind)) + (l.system ? "!" : "");
        }
        return out;
    }
    NodeId node(std::string_view relative) {
        const auto at = index->lookup(dir / relative);
        EXPECT_TRUE(at) << relative;
        return at.value_or(0);
    }
};

TEST(LeftoverKind, LabelsRoundTripInDeclarationOrder) {
    EXPECT_EQ(Leftover::allCases.front(), LKind::support);
    EXPECT_EQ(Leftover::allCases.back(), LKind::other);
    EXPECT_EQ(Leftover::rawValue(LKind::group), "Shared group data");
    EXPECT_EQ(Leftover::rawValue(LKind::daemon), "Background services");
    for (LKind k : Leftover::allCases)
        EXPECT_EQ(Leftover::fromRawValue(Leftover::rawValue(k)), k);
    EXPECT_FALSE(Leftover::fromRawValue("caches"));
    EXPECT_FALSE(Leftover::fromRawValue("cache"));
}

TEST_F(LeftoversFixture, AppBundlesUpToThreeLevelsSystemFirst) {
    dir.mkdirs("sys/Applications/Top.app/Contents/Applications/Inner.app");
    dir.mkdirs("sys/Applications/a/Two.app");
    dir.mkdirs("sys/Applications/a/b/Three.app");
    dir.mkdirs("sys/Applications/a/b/c/Four.app");
    dir.mkdirs("sys/Applications/Gone.app");
    dir.write("sys/Applications/File.app", 10);
    dir.symlink("Top.app", "sys/Applications/Link.app");
    dir.mkdirs("home/u/Applications/Mine.app");
    scan();
    IndexWriter::markRemoved(*index, node("sys/Applications/Gone.app"));
    std::vector<std::string> names;
    for (NodeId n : appBundles(*index, home, root))
        names.push_back(index->name(n));
    std::vector<std::string> inSys(names.begin(), names.end() - 1);
    std::sort(inSys.begin(), inSys.end());
    EXPECT_EQ(inSys, (std::vector<std::string>{"Three.app", "Top.app", "Two.app"}));
    EXPECT_EQ(names.back(), "Mine.app");
    EXPECT_TRUE(appBundles(*index, dir / "nobody", dir / "nothing").empty());
}

TEST_F(LeftoversFixture, IdentifierRules) {
    lib("Preferences/com.example.app.plist");
    lib("Preferences/com.example.app.ABC123.plist");
    lib("Preferences/COM.Example.App");
    lib("Preferences/com.example.apple.plist");
    lib("Preferences/com.example.application");
    lib("Preferences/com.example");
    lib("LaunchAgents/com.example.app.agent.plist");
    lib("Containers/com.example.app/Data/x", 100);
    lib("Saved Application State/com.example.app.savedState/w");
    lib("Caches/com.apple.nsurlsessiond/Downloads/com.example.app/part");
    lib("HTTPStorages/com.example.app");
    file("sys/Library/LaunchDaemons/com.example.app.helper.plist", 0);
    file("sys/Library/PrivilegedHelperTools/com.example.app.helper", 0);
    file("sys/Library/Caches/Example App/x", 0);  // names never match system caches
    scan();
    const AppIdentity app({"com.example.App"}, {"Example App"});
    EXPECT_EQ(
        found(app),
        (std::map<std::string, std::string>{
            {"home/u/Library/Preferences/com.example.app.plist", "Preferences"},
            {"home/u/Library/Preferences/com.example.app.ABC123.plist", "Preferences"},
            {"home/u/Library/Preferences/COM.Example.App", "Preferences"},
            {"home/u/Library/LaunchAgents/com.example.app.agent.plist", "Launch agents"},
            {"home/u/Library/Containers/com.example.app", "Containers"},
            {"home/u/Library/Saved Application State/com.example.app.savedState", "Saved state"},
            {"home/u/Library/Caches/com.apple.nsurlsessiond/Downloads/"
             "com.example.app",
             "Caches"},
            {"home/u/Library/HTTPStorages/com.example.app", "Web data"},
            {"sys/Library/LaunchDaemons/com.example.app.helper.plist", "Background services!"},
            {"sys/Library/PrivilegedHelperTools/com.example.app.helper", "Privileged helpers!"},
        }));
    // Largest first.
    const auto list = leftovers(*index, app, home, root);
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(index->name(list.front().node), "com.example.app");
    EXPECT_EQ(list.front().kind, LKind::container);
}

TEST_F(LeftoversFixture, NameRules) {
    lib("Application Support/My App/a");
    lib("Application Support/myapp");
    lib("Application Support/my-app");
    lib("Caches/my_app");
    lib("Logs/MY APP");
    lib("Preferences/my app");  // identifier-only row
    lib("Application Support/Vim");
    lib("Application Support/Notes");
    lib("Application Support/Other Tool");
    lib("Application Support/foo");
    file("sys/Library/Application Support/MyApp/x", 0);
    file("sys/Library/Logs/my-app", 0);
    scan();
    AppIdentity app({"foo"}, {"My App", "Vim", "Notes", "Other Tool"});
    app.otherAppNames = {"other tool"};
    EXPECT_EQ(found(app), (std::map<std::string, std::string>{
                              {"home/u/Library/Application Support/My App", "App data"},
                              {"home/u/Library/Application Support/myapp", "App data"},
                              {"home/u/Library/Application Support/my-app", "App data"},
                              {"home/u/Library/Caches/my_app", "Caches"},
                              {"home/u/Library/Logs/MY APP", "Logs"},
                              {"sys/Library/Application Support/MyApp", "App data!"},
                              {"sys/Library/Logs/my-app", "Logs!"},
                          }));
}

TEST_F(LeftoversFixture, NamesCountCharactersAsAUserSeesThem) {
    // "Añu" and "Café" written decomposed: four and five code points, three and four characters.
    const std::string anu = "An\xCC\x83u";
    const std::string cafe = "Cafe\xCC\x81";
    lib("Application Support/" + anu);
    lib("Application Support/" + cafe);
    scan();
    EXPECT_EQ(found(AppIdentity({"foo"}, {anu, cafe})),
              (std::map<std::string, std::string>{
                  {"home/u/Library/Application Support/" + cafe, "App data"},
              }));
}

TEST_F(LeftoversFixture, EarlierRowWinsAndNothingNests) {
    lib("Application Support/com.example.app/Code/x", 50);
    lib("Caches/com.example.app/x");
    lib("Caches/com.apple.nsurlsessiond/Downloads/com.example.app");
    dir.mkdirs("home/u/.example");
    scan();
    AppIdentity app({"com.example.app"}, {});
    app.extraPaths = {"~/Library/Application Support/com.example.app",
                      "~/Library/Application Support/com.example.app/Code",
                      "~/Library/Caches",
                      "~/.example",
                      "/Library/Developer/Sim",
                      "relative/path"};
    EXPECT_EQ(found(app), (std::map<std::string, std::string>{
                              {"home/u/Library/Application Support/com.example.app", "App data"},
                              {"home/u/Library/Caches/com.example.app", "Caches"},
                              {"home/u/Library/Caches/com.apple.nsurlsessiond/Downloads/"
                               "com.example.app",
                               "Caches"},
                              {"home/u/.example", "Tool data"},
                          }));
    // A row that takes a folder keeps the later rows out of everything inside it.
    EXPECT_EQ(found(AppIdentity({"com.apple.nsurlsessiond"}, {})),
              (std::map<std::string, std::string>{
                  {"home/u/Library/Caches/com.apple.nsurlsessiond", "Caches"},
              }));
    dir.mkdirs("sys/Library/Developer/Sim");
    scan();
    EXPECT_EQ(found(app)["sys/Library/Developer/Sim"], "Tool data!");
}

TEST_F(LeftoversFixture, VendorFolders) {
    lib("Application Support/Example/ExampleTool/x");
    lib("Application Support/Example/com.example.tool.data");
    lib("Application Support/Example/Unrelated");
    lib("Caches/EXAMPLE/exampletool");
    lib("Logs/Example/com.example.tool");
    lib("Logs/tool/x");
    scan();
    const AppIdentity app({"com.example.tool", "two.pieces"}, {"ExampleTool"});
    const auto got = found(app);
    EXPECT_EQ(got.at("home/u/Library/Application Support/Example/ExampleTool"), "App data");
    EXPECT_EQ(got.at("home/u/Library/Application Support/Example/com.example.tool.data"),
              "App data");
    EXPECT_EQ(got.at("home/u/Library/Caches/EXAMPLE/exampletool"), "Caches");
    EXPECT_EQ(got.at("home/u/Library/Logs/Example/com.example.tool"), "Logs");
    EXPECT_EQ(got.size(), 4u);
}

TEST_F(LeftoversFixture, OnlyTheFirstVendorFolderInIndexOrderIsSearched) {
    lib("Application Support/Example/com.example.tool.upper");
    lib("Application Support/example/com.example.tool.lower");
    scan();
    std::vector<std::string> order;
    for (NodeId c : index->children(node("home/u/Library/Application Support")))
        order.push_back(index->name(c));
    ASSERT_EQ(order.size(), 2u);
    const std::string first = "home/u/Library/Application Support/" + order[0];
    const std::string inFirst = first + (order[0] == "Example" ? "/com.example.tool.upper"
                                                               : "/com.example.tool.lower");
    const AppIdentity app({"com.example.tool"}, {});
    EXPECT_EQ(found(app), (std::map<std::string, std::string>{{inFirst, "App data"}}));
    // The vendor folder moved to the Trash: the search offers nothing, not the other one.
    IndexWriter::markRemoved(*index, node(first));
    EXPECT_TRUE(found(app).empty());
}

TEST_F(LeftoversFixture, GroupContainersByBoundaryAndExclusiveTeam) {
    lib("Group Containers/ABCDE12345.com.example.shared/x");
    lib("Group Containers/group.com.example.app");
    lib("Group Containers/group.com.example.application");
    lib("Group Containers/xcom.example.app");
    lib("Group Containers/TEAM123456.other");
    lib("Group Containers/TEAM1234567.other");
    scan();
    AppIdentity app({"com.example.app", "com.example.shared"}, {}, "team123456");
    std::map<std::string, std::string> expected = {
        {"home/u/Library/Group Containers/ABCDE12345.com.example.shared", "Shared group data"},
        {"home/u/Library/Group Containers/group.com.example.app", "Shared group data"},
    };
    EXPECT_EQ(found(app), expected);
    app.teamExclusive = true;
    expected["home/u/Library/Group Containers/TEAM123456.other"] = "Shared group data";
    EXPECT_EQ(found(app), expected);
    // Team-exclusive with a team but a single-piece identifier: the prefix alone claims.
    const AppIdentity lone({"single"}, {}, "ABCDE12345");
    AppIdentity exclusive = lone;
    exclusive.teamExclusive = true;
    EXPECT_TRUE(found(lone).empty());
    EXPECT_EQ(found(exclusive).size(), 1u);
}

TEST_F(LeftoversFixture, RemovedItemsAndTheirInsidesAreNeverOffered) {
    lib("Caches/com.example.app/x");
    lib("Application Support/Example/com.example.app.sub/y");
    lib("Application Support/com.example.app.two/z");
    dir.mkdirs("home/u/.tool/inner");
    lib("Preferences/com.example.app.plist");
    scan();
    IndexWriter::markRemoved(*index, node("home/u/Library/Caches"));
    IndexWriter::markRemoved(*index, node("home/u/Library/Application Support/Example"));
    IndexWriter::markRemoved(*index, node("home/u/.tool"));
    IndexWriter::markRemoved(*index,
                             node("home/u/Library/Application Support/com.example.app.two"));
    AppIdentity app({"com.example.app"}, {});
    app.extraPaths = {"~/.tool/inner", "~/Library/Caches/com.example.app"};
    EXPECT_EQ(found(app), (std::map<std::string, std::string>{
                              {"home/u/Library/Preferences/com.example.app.plist", "Preferences"},
                          }));
    EXPECT_TRUE(found(AppIdentity({}, {})).empty());
}

}  // namespace
}  // namespace tamrel
