#pragma once

// The 200 applications of the inventory benchmarks: bundles, and AppImages.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "core/index/DiskIndex.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"

namespace tamrel::bench {

namespace fs = std::filesystem;

constexpr int apps = 200;

inline void put(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

inline std::string plist(const std::string& id, const std::string& name) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>CFBundleIdentifier</key><string>" +
           id +
           "</string>"
           "<key>CFBundleName</key><string>" +
           name +
           "</string>"
           "<key>CFBundleExecutable</key><string>" +
           name +
           "</string>"
           "<key>CFBundleShortVersionString</key><string>1.2.3</string>"
           "<key>LSMinimumSystemVersion</key><string>13.0</string></dict></plist>\n";
}

// A temporary tree: sys/Applications (or home/u/Applications) with the bundles, home/u/Library with their leftovers and
// as many unrelated folders, scanned once into an index.
struct Fixture {
    fs::path root;
    std::string home;
    std::string system;
    std::unique_ptr<DiskIndex> index;

    // `inHome`: the bundles go to the home folder's Applications, where the model's inventory
    // (which takes the real system folders) finds them.
    explicit Fixture(bool inHome = false) {
        std::string tmpl = (fs::temp_directory_path() / "tamrel-apps-bench-XXXXXX").string();
        root = ::mkdtemp(tmpl.data());
        home = (root / "home/u").string();
        system = (root / "sys").string();
        const fs::path lib = root / "home/u/Library";
        for (int i = 0; i < apps; ++i) {
            const std::string n = std::to_string(i);
            const std::string id = "com.vendor" + n + ".app" + n;
            const std::string name = "Application " + n;
            const fs::path app =
                root / (inHome ? "home/u/Applications" : "sys/Applications") / (name + ".app");
            put(app / "Contents/Info.plist", plist(id, name));
            put(app / "Contents/MacOS" / name, std::string(4096, 'x'));
            put(app / "Contents/PlugIns/Share.appex/Contents/Info.plist",
                plist(id + ".share", "Share"));
            put(app / "Contents/XPCServices/Sparkle.xpc/Contents/Info.plist",
                plist("org.sparkle-project.Downloader", "Downloader"));
            put(app / "Contents/Library/LaunchServices" / (id + ".helper"), "x");
            put(lib / "Application Support" / id / "data", "x");
            put(lib / "Application Support" / ("Vendor" + n) / name / "x", "x");
            put(lib / "Caches" / id / "cache", std::string(8192, 'c'));
            put(lib / "Preferences" / (id + ".plist"), "x");
            put(lib / "Containers" / id / "Data/x", "x");
            put(lib / "Group Containers" / ("ABCDE12345." + id) / "x", "x");
            put(lib / "Saved Application State" / (id + ".savedState") / "x", "x");
            put(lib / "Logs" / name / "log.txt", "x");
            put(lib / "Application Support" / ("Unrelated Folder " + n) / "x", "x");
            put(lib / "Caches" / ("org.unrelated" + n) / "x", "x");
        }
        ScanProgress progress;
        index = Scanner::scan(root.string(), progress, 4);
    }
    ~Fixture() { fs::remove_all(root); }
};

inline Fixture& fixture() {
    static Fixture f;
    return f;
}

// A temporary home with 200 AppImages in Applications, each started by a desktop entry with its
// own icon, with a cache and a settings folder; as many entries of other programs and unrelated
// folders beside them. Scanned once into an index.
struct AppImagesFixture {
    fs::path root;
    std::string home;
    std::unique_ptr<DiskIndex> index;

    AppImagesFixture() {
        std::string tmpl = (fs::temp_directory_path() / "tamrel-appimages-bench-XXXXXX").string();
        root = ::mkdtemp(tmpl.data());
        home = (root / "home/u").string();
        const fs::path h = home;
        for (int i = 0; i < apps; ++i) {
            const std::string n = std::to_string(i);
            const fs::path file = h / "Applications" / ("Tool" + n + "-1." + n + ".0-x86_64.AppImage");
            put(file, "\x7f" "ELF\x02\x01\x01" + std::string(1, '\0') + "AI\x02" +
                          std::string(4096, 'x'));
            put(h / ".local/share/applications" / ("appimagekit_" + n + "-Tool" + n + ".desktop"),
                "[Desktop Entry]\nType=Application\nName=Tool " + n + "\nExec=\"" +
                    file.string() + "\" %U\nIcon=appimagekit_tool" + n +
                    "\nStartupWMClass=tool" + n + "\nX-AppImage-Version=1." + n + ".0\n");
            put(h / ".local/share/icons/hicolor/256x256/apps" / ("appimagekit_tool" + n + ".png"),
                std::string(2048, 'p'));
            put(h / ".local/share/applications" / ("org.other.Program" + n + ".desktop"),
                "[Desktop Entry]\nType=Application\nName=Program " + n +
                    "\nExec=/usr/bin/program" + n + "\nIcon=program" + n + "\n");
            put(h / ".cache" / ("tool" + n) / "cache", std::string(8192, 'c'));
            put(h / ".config" / ("Tool " + n) / "settings.json", "{}");
            put(h / ".config" / ("unrelated" + n) / "x", "x");
            put(h / ".local/share" / ("unrelated" + n) / "x", "x");
        }
        ScanProgress progress;
        index = Scanner::scan(root.string(), progress, 4);
    }
    ~AppImagesFixture() { fs::remove_all(root); }
};

inline AppImagesFixture& appImagesFixture() {
    static AppImagesFixture f;
    return f;
}

}  // namespace tamrel::bench
