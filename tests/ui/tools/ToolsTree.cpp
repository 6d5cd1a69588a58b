#include "tests/ui/tools/ToolsTree.h"

#include <sys/stat.h>
#include <sys/time.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "platform/TrashMover.h"
#include "tests/model/Fixtures.h"

namespace tamrel::test {

namespace {

// Writes `kb` thousand bytes at `relative` in `tree`, the folders on the way made.
void writeKb(const TempDir& tree, const std::string& relative, std::size_t kb) {
    tree.mkdirs(relative.substr(0, relative.rfind('/')));
    tree.write(relative, kb * 1000);
}

}  // namespace

void makeToolsTree(const TempDir& tree, bool intoTrash) {
    const auto put = [&](const std::string& relative, std::size_t kb) {
        writeKb(tree, relative, kb);
    };
    put("home/.cache/thumbnails/large/a.png", 900);
    put("home/.cache/fontconfig/cache-1", 400);
    put("home/.cache/pip/http/wheel", 1200);
    put("home/.cache/yarn/v6/pkg", 700);
    put("home/Library/Caches/com.example.cache/c", 600);
    put("home/Library/Logs/Viewer/trace.log", 500);
    put("home/Library/Logs/Sync/sync.log", 300);
    if (intoTrash) {
        put("home/Videos/old-movie.mkv", 2600);
        std::string why;
        if (!TrashMover::trashItem(tree / "home/Videos/old-movie.mkv", why)) {
            std::fprintf(stderr, "old-movie.mkv stays out of the Trash: %s\n", why.c_str());
        }
    } else {
        put("home/.local/share/Trash/files/old-movie.mkv", 2600);
    }
    put("home/.npm/_cacache/index", 800);
    put("home/.ollama/models/blobs/sha256-1", 3400);
    put("home/.docker/disk.img", 1500);
    put("home/.thunderbird/profile/Mail/inbox", 650);
    put("home/.config/Editor/state.db", 350);
    put("home/Downloads/ubuntu-24.04-desktop.iso", 2200);
    put("home/Documents/report.pdf", 120);
    // A folder named like an application that is not installed, untouched for 60 days.
    put("home/Library/Containers/com.reopen.tool.app/data", 500);
    const std::time_t old = std::time(nullptr) - 60 * 86400;
    const timeval times[2] = {{old, 0}, {old, 0}};
    ::utimes((tree / "home/Library/Containers/com.reopen.tool.app").c_str(), times);

    makeBundle(tree, "home/Applications/Big.app",
               {{"CFBundleIdentifier", "com.example.big"},
                {"CFBundleName", "Big"},
                {"CFBundleShortVersionString", "4.2"}});
    tree.write("home/Applications/Big.app/Contents/blob", 1'800'000);
    for (const char* folder : {"Caches", "Application Support", "Logs", "Preferences"}) {
        tree.mkdirs(std::string("home/Library/") + folder + "/com.example.big");
        tree.write(std::string("home/Library/") + folder + "/com.example.big/x", 300'000);
    }
    makeBundle(tree, "home/Applications/Small.app",
               {{"CFBundleIdentifier", "com.example.small"}, {"CFBundleName", "Small"}});
    tree.write("home/Applications/Small.app/Contents/blob", 200'000);
    makeBundle(tree, "home/Applications/Notes.app",
               {{"CFBundleIdentifier", "org.example.notes"},
                {"CFBundleName", "Notes"},
                {"CFBundleShortVersionString", "1.0"}});
    tree.write("home/Applications/Notes.app/Contents/blob", 600'000);
    tree.mkdirs("home/Library/Application Support/org.example.notes");
    tree.write("home/Library/Application Support/org.example.notes/db", 1'200'000);
}

void makeLinuxHome(const TempDir& tree, const std::string& home) {
    const auto put = [&](const std::string& relative, std::size_t kb) {
        writeKb(tree, home + relative, kb);
    };
    put("/.cache/thumbnails/large/a.png", 900);
    put("/.cache/mozilla/firefox/abc.default/cache2/entries/x", 1300);
    put("/.cache/fontconfig/cache-1", 400);
    put("/.cache/pip/http/wheel", 1200);
    put("/.cache/yarn/v6/pkg", 700);
    put("/.var/app/com.spotify.Client/cache/storage/data", 2400);
    put("/.var/app/com.spotify.Client/config/spotify/prefs", 40);
    put("/.var/app/com.spotify.Client/data/spotify/offline", 600);
    put("/.var/app/org.gnome.Boxes/data/gnome-boxes/images/win11.qcow2", 3000);
    put("/snap/firefox/common/.cache/startup", 500);
    put("/snap/firefox/4793/profile", 200);
    put("/.local/share/Trash/files/old-video.mkv", 2600);
    put("/.local/share/Trash/info/old-video.mkv.trashinfo", 1);
    put("/.config/Slack/Cache/Cache_Data/x", 800);
    put("/.config/Slack/Local Storage/leveldb", 300);
    put("/.config/Code/Cache/Cache_Data/y", 400);
    put("/.config/Code/User/settings.json", 20);
    put("/.thunderbird/abc.default/Mail/Local Folders/Inbox", 650);
    put("/.local/share/containers/storage/overlay/layer", 1500);
    put("/.ollama/models/blobs/sha256-1", 3400);
    put("/.local/share/xorg/Xorg.0.log", 300);
    put("/.xsession-errors.old", 200);
    put("/Downloads/ubuntu-24.04-desktop-amd64.iso", 2200);
    put("/Downloads/code_1.90.0_amd64.deb", 900);
    put("/Downloads/Obsidian-1.5.3.AppImage", 1000);
    put("/code/app/package.json", 1);
    put("/code/app/node_modules/left-pad/index.js", 500);
    put("/bin/rg", 1200);
    ::chmod((tree / (home + "/bin/rg")).c_str(), 0755);
    put("/Documents/report.pdf", 120);
    // The project untouched for 20 days, so its build folder is ticked.
    const std::time_t old = std::time(nullptr) - 20 * 86400;
    const timeval times[2] = {{old, 0}, {old, 0}};
    ::utimes((tree / (home + "/code/app")).c_str(), times);
}

}  // namespace tamrel::test
