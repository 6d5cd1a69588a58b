#include "platform/ProtectedPaths.h"

#include <gtest/gtest.h>

namespace tamrel {
namespace {

TEST(ProtectedPaths, ExactFoldersAndSystemTrees) {
    const std::string home = "/Users/u";
    for (const char* p :
         {"/", "/Users/u", "/Users/u/Library", "/Users/u/Desktop", "/Users/u/Documents",
          "/Users/u/Downloads", "/Applications", "/Users", "/Library", "/usr", "/usr/local/bin",
          "/System/Volumes/Data/x", "/private/tmp/x", "/Volumes", "/opt/homebrew"}) {
        EXPECT_TRUE(isProtectedPath(p, home)) << p;
    }
    for (const char* p : {"/Volumes/Disk/x", "/privateer", "/Library/Caches/x", "/Users/other",
                          "/Users/u/Library/Caches", "/Applications/X.app", "/usrx"}) {
        EXPECT_FALSE(isProtectedPath(p, home)) << p;
    }
    for (const char* p : {"/etc", "/etc/passwd", "/boot/x", "/var/lib/x", "/home", "/tmp"}) {
        EXPECT_TRUE(isSystemFolder(p)) << p;
    }
    for (const char* p : {"/home/u/.cache", "/tmp/x", "/etcetera", "/media/disk/x"}) {
        EXPECT_FALSE(isSystemFolder(p)) << p;
    }
}

TEST(ProtectedPaths, TheAdministratorMoverServesOnlyItsPlaces) {
    const std::string home = "/home/u";
    for (const char* p : {"/Applications/X.app", "/Library/Application Support/com.x",
                          "/Library/LaunchDaemons/com.x.plist", "/home/u/.cache/x",
                          "/home/u/a/b"}) {
        EXPECT_TRUE(isElevatedPlace(p, home)) << p;
        EXPECT_TRUE(isElevatedPlace(p, "/home/u/")) << p;
    }
    for (const char* p :
         {"/Applications", "/Library", "/Applicationsx/y", "/home/u", "/home/other/.ssh/id",
          "/home/u2/x", "/swapfile", "/lost+found/x", "/mnt/disk/x", "/media/u/stick/x",
          "/tmp/x", "/.snapshots/1/snapshot/etc/shadow", "/dev/sda", "/opt/app",
          "/usr/share/applications/x.desktop", "/var/lib/flatpak/app/x", "/"}) {
        EXPECT_FALSE(isElevatedPlace(p, home)) << p;
    }
    // A home the user database leaves empty, relative or at the top adds nothing.
    for (const char* h : {"", "/", "home/u"}) {
        EXPECT_FALSE(isElevatedPlace("/home/u/x", h)) << h;
        EXPECT_FALSE(isElevatedPlace("/tmp/x", h)) << h;
    }
}

TEST(ProtectedPaths, LinuxDataFoldersOfTheHomeButNotWhatIsInThem) {
    const std::string home = "/home/u";
    for (const char* p :
         {"/home/u/.cache", "/home/u/.config", "/home/u/.local", "/home/u/.local/share",
          "/home/u/.local/state", "/home/u/.var", "/home/u/.var/app", "/home/u/snap"}) {
        EXPECT_TRUE(isProtectedPath(p, home)) << p;
    }
    for (const char* p :
         {"/home/u/.cache/thumbnails", "/home/u/.var/app/org.example.App", "/home/u/snap/spotify",
          "/home/u/.local/share/Trash/files/x", "/home/other/.cache", "/home/u/.cachex"}) {
        EXPECT_FALSE(isProtectedPath(p, home)) << p;
    }
}

}  // namespace
}  // namespace tamrel
