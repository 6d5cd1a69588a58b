#pragma once

// The 200 applications of the inventory benchmarks.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "core/index/DiskIndex.h"
#include "core/scan/ScanProgress.h"

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
        index = DiskIndex::scan(root.string(), progress, 4);
    }
    ~Fixture() { fs::remove_all(root); }
};

inline Fixture& fixture() {
    static Fixture f;
    return f;
}

}  // namespace tamrel::bench
