#include "model/apps/AppRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
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

TEST(AppRegistry, KnowsFlatpaksServicesSchemasMetainfoAndSnaps) {
    test::TempDir dir;
    dir.mkdirs("sys/var/lib/flatpak/app/org.example.System/x86_64");
    dir.mkdirs("data/flatpak/app/org.example.User");
    dir.mkdirs("sys/etc/flatpak/installations.d");
    {
        std::ofstream conf(dir / "sys/etc/flatpak/installations.d/extra.conf");
        conf << "[Installation \"extra\"]\nPath=/mnt/sd/flatpak\nDisplayName=SD card\n";
    }
    dir.mkdirs("sys/mnt/sd/flatpak/app/org.example.OnCard");
    dir.mkdirs("sys/usr/share/dbus-1/services");
    dir.write("sys/usr/share/dbus-1/services/org.example.Bus.service", 10);
    dir.mkdirs("sys/usr/share/glib-2.0/schemas");
    dir.write("sys/usr/share/glib-2.0/schemas/org.example.Schema.gschema.xml", 10);
    dir.write("sys/usr/share/glib-2.0/schemas/gschemas.compiled", 10);
    dir.mkdirs("sys/usr/share/metainfo");
    dir.write("sys/usr/share/metainfo/org.example.Meta.metainfo.xml", 10);
    dir.write("sys/usr/share/metainfo/org.example.Old.appdata.xml", 10);
    AppRegistry registry(
        dir / "home", dir / "sys", {},
        AppRegistry::linuxIdFolders(dir / "sys", dir / "data", {dir / "sys/usr/share"}));
    for (const char* id :
         {"org.example.System", "org.example.user", "org.example.OnCard", "org.example.Bus",
          "org.example.Schema", "org.example.Meta", "org.example.Old"}) {
        EXPECT_TRUE(registry.isInstalled(id)) << id;
    }
    EXPECT_EQ(registry.applicationPath("org.example.System"),
              dir / "sys/var/lib/flatpak/app/org.example.System");
    EXPECT_FALSE(registry.isInstalled("org.example.Gone"));
    EXPECT_FALSE(registry.isInstalled("gschemas"));

    // Without snapd nothing can be told, so every snap counts as installed.
    EXPECT_TRUE(registry.snapInstalled("gone"));
    dir.mkdirs("sys/snap/firefox/4793");
    EXPECT_TRUE(registry.snapInstalled("firefox"));
    EXPECT_FALSE(registry.snapInstalled("gone"));
    EXPECT_TRUE(registry.snapInstalled("../etc")) << "not a snap name: cannot tell";
}

}  // namespace
}  // namespace tamrel
