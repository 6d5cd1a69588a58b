#include "model/apps/Owner.h"

#include <gtest/gtest.h>

#include "tests/model/Fixtures.h"

namespace tamrel {
namespace {

class OwnerTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::FakePlatform platform;
    Owner owner{platform, dir / "home", dir / "sys"};
};

TEST_F(OwnerTest, TablesAsGiven) {
    EXPECT_EQ(Owner::aliases().size(), 8u);
    EXPECT_EQ(Owner::aliases().at(".cursor"), "com.todesktop.230313mzl4w4u92");
    EXPECT_EQ(Owner::aliases().at("github desktop"), "com.github.GitHubClient");
    EXPECT_EQ(Owner::ownedUnder().size(), 9u);
    EXPECT_TRUE(Owner::ownedUnder().contains("Saved Application State"));
}

TEST_F(OwnerTest, NamesTheApplicationAfterAnOwnedFolder) {
    platform.apps = {{"com.example.App", "/Apps/Example.app"},
                     {"com.microsoft.VSCode", "/Apps/Code.app"}};
    EXPECT_EQ(owner.app("/Users/u/Library/Caches/com.example.App/x"), "/Apps/Example.app");
    EXPECT_EQ(platform.asked, (std::vector<std::string>{"com.example.App"}));

    platform.asked.clear();
    EXPECT_EQ(owner.app("/Users/u/Library/Group Containers/ABCDE12345.com.example.App"),
              "/Apps/Example.app");
    EXPECT_EQ(platform.asked,
              (std::vector<std::string>{"ABCDE12345.com.example.App", "com.example.App"}));

    EXPECT_EQ(owner.app("/Users/u/.vscode/extensions"), "/Apps/Code.app");
    EXPECT_EQ(owner.app("/Users/u/Library/Application Support/Code"), "/Apps/Code.app");
    EXPECT_EQ(owner.app("/Users/u/Library/Application Support/CODE/x"), "/Apps/Code.app");
}

TEST_F(OwnerTest, FallsBackToBundlesInTheApplicationsFolders) {
    dir.mkdirs("home/Applications/Foo.app");
    EXPECT_EQ(owner.app("/Users/u/Library/Application Support/Foo"),
              dir / "home/Applications/Foo.app");
    EXPECT_TRUE(platform.asked.empty());  // no dot, no identifier to ask about
    dir.mkdirs("sys/Applications/Xcode.app");
    dir.mkdirs("home/Applications/Xcode.app");
    EXPECT_EQ(owner.app("/Users/u/Library/Developer/Xcode/DerivedData"),
              dir / "sys/Applications/Xcode.app");
}

TEST_F(OwnerTest, RemembersAnswersIncludingNoOwner) {
    EXPECT_FALSE(owner.app("/Users/u/Documents/report.txt"));
    EXPECT_FALSE(owner.app("/Users/u/Library/Caches/com.example.later"));
    const std::size_t asked = platform.asked.size();
    EXPECT_EQ(asked, 1u);
    platform.apps["com.example.later"] = "/Apps/Later.app";
    EXPECT_FALSE(owner.app("/Users/u/Library/Caches/com.example.later"));
    EXPECT_EQ(platform.asked.size(), asked);
    EXPECT_EQ(owner.app("/Users/u/Library/Caches/com.example.later/sub"), "/Apps/Later.app");
}

}  // namespace
}  // namespace tamrel
