#include "model/apps/AppRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "model/apps/BundleInfo.h"
#include "tests/model/Fixtures.h"

namespace tamrel {
namespace {

TEST(BundleInfo, ReadsXmlAndBinaryDictionaries) {
    test::TempDir dir;
    test::makeBundle(dir, "Xml.app", {{"CFBundleIdentifier", "org.example.xml"}, {"K", "v & <w>"}});
    test::makeBundle(dir, "Bin.app", {{"CFBundleIdentifier", "org.example.bin"}}, true);
    dir.mkdirs("Flat.bundle");
    test::writePlist(dir / "Flat.bundle/Info.plist", {{"CFBundleIdentifier", "org.example.flat"}},
                     true);
    dir.mkdirs("Junk.app/Contents");
    dir.write("Junk.app/Contents/Info.plist", 500);
    dir.write("File.app", 10);
    EXPECT_EQ(BundleInfo::open(dir / "Xml.app")->identifier(), "org.example.xml");
    EXPECT_EQ(BundleInfo::open(dir / "Xml.app")->text("K"), "v & <w>");
    EXPECT_EQ(BundleInfo::open(dir / "Bin.app")->identifier(), "org.example.bin");
    EXPECT_EQ(BundleInfo::open(dir / "Flat.bundle")->identifier(), "org.example.flat");
    EXPECT_FALSE(BundleInfo::open(dir / "Junk.app")->identifier());
    EXPECT_FALSE(BundleInfo::open(dir / "File.app"));
    EXPECT_FALSE(BundleInfo::open(dir / "Missing.app"));
    EXPECT_FALSE(BundleInfo::parse("<?xml version=\"1.0\"?><plist><array/></plist>").identifier());
    EXPECT_FALSE(BundleInfo::parse("bplist00\xff\xff\xff").identifier());
}

TEST(BundleInfo, APipeInPlaceOfTheDictionaryNeverHangs) {
    test::TempDir dir;
    dir.mkdirs("Pipe.app/Contents");
    const std::string pipe = dir / "Pipe.app/Contents/Info.plist";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto opened =
        std::async(std::launch::async, [&] { return BundleInfo::open(dir / "Pipe.app"); });
    if (opened.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "opening a bundle waits for a writer of its pipe";
        ::close(::open(pipe.c_str(), O_WRONLY | O_CLOEXEC));  // lets it go
    }
    const auto info = opened.get();
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->identifier());
}

TEST(AppRegistry, BundlesThenDesktopEntries) {
    test::TempDir dir;
    test::makeBundle(dir, "sys/Applications/Utilities/Tool.app",
                     {{"CFBundleIdentifier", "org.example.Tool"}}, true);
    test::makeBundle(dir, "home/Applications/Tool.app",
                     {{"CFBundleIdentifier", "org.example.tool"}});
    dir.mkdirs("local/applications/kde");
    dir.write("local/applications/org.gnome.Calculator.desktop", 10);
    dir.write("local/applications/kde/org.kde.kate.desktop", 10);
    dir.mkdirs("share/applications");
    dir.write("share/applications/org.gnome.Calculator.desktop", 10);
    AppRegistry registry(dir / "home", dir / "sys",
                         {dir / "local/applications", dir / "share/applications"});
    EXPECT_EQ(registry.applicationPath("ORG.example.tool"),
              dir / "sys/Applications/Utilities/Tool.app");
    EXPECT_EQ(registry.applicationPath("org.gnome.Calculator"),
              dir / "local/applications/org.gnome.Calculator.desktop");
    EXPECT_EQ(registry.applicationPath("kde-org.kde.kate"),
              dir / "local/applications/kde/org.kde.kate.desktop");
    EXPECT_FALSE(registry.applicationPath("org.kde.kate"));
    EXPECT_FALSE(registry.isInstalled("com.example.gone"));
    EXPECT_TRUE(registry.isInstalled("org.gnome.calculator"));

    // Installed later: seen at the next question.
    dir.write("share/applications/com.example.gone.desktop", 10);
    EXPECT_TRUE(registry.isInstalled("com.example.gone"));
    test::makeBundle(dir, "sys/Applications/Utilities/New.app",
                     {{"CFBundleIdentifier", "org.new"}});
    EXPECT_EQ(registry.applicationPath("org.new"), dir / "sys/Applications/Utilities/New.app");
}

TEST(AppRegistry, WithNothingToReadEverythingCountsAsInstalled) {
    test::TempDir dir;
    AppRegistry registry(dir / "home", dir / "sys", {dir / "none"});
    EXPECT_TRUE(registry.isInstalled("com.example.anything"));
    EXPECT_FALSE(registry.applicationPath("com.example.anything"));
}

}  // namespace
}  // namespace tamrel
