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
