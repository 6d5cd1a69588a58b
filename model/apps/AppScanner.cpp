#include "model/apps/AppScanner.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <unordered_map>

#include "core/apps/Leftovers.h"
#include "core/base/TextCase.h"
#include "model/apps/AppImages.h"
#include "model/apps/BundleInfo.h"
#include "platform/FolderNames.h"
#include "platform/PathText.h"
#include "platform/XdgDirs.h"

namespace tamrel {

namespace {

// Apple's own bundles are part of the system, except these applications of Apple's that are
// installed and removed like any other.
constexpr std::array<std::string_view, 11> appleKept = {
    "com.apple.dt.",        "com.apple.iwork.",    "com.apple.garageband",   "com.apple.imovieapp",
    "com.apple.logic",      "com.apple.finalcut",  "com.apple.testflight",   "com.apple.motionapp",
    "com.apple.compressor", "com.apple.mainstage", "com.apple.configurator",
};

// At most this many identifiers are taken from the nested bundles of one application.
constexpr std::size_t maxNestedIDs = 64;

// A listing error counts as empty.
std::vector<std::string> listFolder(const std::string& folder) {
    return folderNames(folder).value_or(std::vector<std::string>{});
}

std::string withoutAll(std::string text, std::string_view piece) {
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at)) {
        text.erase(at, piece.size());
    }
    return text;
}

std::string withoutExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool isSystemBundle(const std::string& lowerID) {
    if (!lowerID.starts_with("com.apple.")) return false;
    return std::none_of(appleKept.begin(), appleKept.end(),
                        [&](std::string_view p) { return lowerID.starts_with(p); });
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

struct Candidate {
    NodeId node;
    std::string path;
    BundleInfo info;
    std::string id;
    std::optional<std::string> team;
    std::string label;     // lowercased display name or bundle name, else empty
    std::string fileName;  // lowercased file name without extension
};

// The leftover node goes to the first claimant that names it by identifier, and to nobody when
// none does. Leaves leftoverSize to the caller.
void shareOut(const DiskIndex& index, std::vector<InstalledApp>& apps) {
    std::unordered_map<NodeId, std::vector<std::size_t>> claimants;
    std::vector<NodeId> order;
    for (std::size_t a = 0; a < apps.size(); ++a) {
        for (const Leftover& l : apps[a].leftovers) {
            auto& list = claimants[l.node];
            if (list.empty()) order.push_back(l.node);
            list.push_back(a);
        }
    }
    for (NodeId node : order) {
        const auto& list = claimants[node];
        if (list.size() < 2) continue;
        const std::string name = lowercase(index.nameBytes(node));
        std::optional<std::size_t> winner;
        for (std::size_t a : list) {
            for (const std::string& given : apps[a].identity.bundleIDs) {
                const std::string id = lowercase(given);
                if (name == id ||
                    (name.starts_with(id) && name.size() > id.size() && name[id.size()] == '.')) {
                    winner = a;
                    break;
                }
            }
            if (winner) break;
        }
        for (std::size_t a : list) {
            if (a == winner) continue;
            auto& left = apps[a].leftovers;
            left.erase(std::remove_if(left.begin(), left.end(),
                                      [&](const Leftover& l) { return l.node == node; }),
                       left.end());
        }
    }
}

}  // namespace

const std::map<std::string, std::vector<std::string>>& AppScanner::extras() {
    const std::vector<std::string> jetBrains = {"~/.config/JetBrains", "~/.cache/JetBrains",
                                                "~/.local/share/JetBrains"};
    static const std::map<std::string, std::vector<std::string>> table = {
        {"com.apple.dt.xcode",
         {"~/Library/Developer/Xcode", "~/Library/Developer/CoreSimulator",
          "~/Library/Developer/XCPGDevices", "~/Library/Developer/XCTestDevices",
          "/Library/Developer/CoreSimulator"}},
        {"com.microsoft.vscode", {"~/.vscode", "~/Library/Application Support/Code"}},
        {"com.todesktop.230313mzl4w4u92", {"~/.cursor"}},
        {"dev.zed.zed", {"~/.config/zed"}},
        {"com.docker.docker", {"~/.docker", "~/Library/Containers/com.docker.docker"}},
        {"dev.orbstack.orbstack", {"~/.orbstack"}},
        {"com.google.android.studio", {"~/.android", "~/Library/Android"}},
        {"com.jetbrains.intellij",
         {"~/Library/Application Support/JetBrains", "~/Library/Caches/JetBrains",
          "~/Library/Logs/JetBrains"}},
        {"com.unity3d.unityhub", {"~/Library/Unity", "~/Library/Application Support/UnityHub"}},
        {"com.raycast.macos", {"~/.config/raycast"}},
        {"org.alacritty", {"~/.config/alacritty"}},
        {"com.mitchellh.ghostty", {"~/.config/ghostty"}},
        {"net.kovidgoyal.kitty", {"~/.config/kitty"}},
        // Linux desktop ids and Flatpak ids. The JetBrains folders are shared by every IDE of
        // the vendor: with two installed, neither claims them (see shareOut).
        {"code", {"~/.vscode", "~/.config/Code"}},
        {"com.visualstudio.code", {"~/.vscode", "~/.config/Code"}},
        {"jetbrains-idea", jetBrains},
        {"jetbrains-idea-ce", jetBrains},
        {"jetbrains-pycharm", jetBrains},
        {"jetbrains-pycharm-ce", jetBrains},
        {"jetbrains-clion", jetBrains},
        {"jetbrains-goland", jetBrains},
        {"jetbrains-webstorm", jetBrains},
        {"jetbrains-rider", jetBrains},
        {"com.jetbrains.intellij-idea-community", jetBrains},
        {"com.jetbrains.intellij-idea-ultimate", jetBrains},
        {"com.jetbrains.pycharm-community", jetBrains},
        {"com.jetbrains.pycharm-professional", jetBrains},
        {"android-studio", {"~/.android", "~/Android"}},
        {"jetbrains-studio", {"~/.android", "~/Android"}},
        {"com.google.androidstudio", {"~/.android", "~/Android"}},
    };
    return table;
}

std::vector<InstalledApp> AppScanner::scan(const DiskIndex& index, const RuleProfile& profile) {
    return scan(index, homeDirectory(), "", profile);
}

std::vector<InstalledApp> AppScanner::scan(const DiskIndex& index, const std::string& home,
                                           const std::string& systemRoot,
                                           const RuleProfile& profile) {
    const std::set<std::string> homebrew = homebrewApps(index, systemRoot);
    const std::string own = lowercase(ownBundleID);

    std::vector<Candidate> candidates;
    for (NodeId node : appBundles(index, home, systemRoot)) {
        std::string path = index.path(node);
        auto info = BundleInfo::open(path);
        if (!info) continue;
        auto id = info->identifier();
        if (!id) continue;
        const std::string lower = lowercase(*id);
        if (lower == own || isSystemBundle(lower)) continue;
        auto team = teamID(path);
        std::string label = lowercase(
            info->text("CFBundleDisplayName").value_or(info->text("CFBundleName").value_or("")));
        std::string fileName = lowercase(withoutExtension(lastComponent(path)));
        candidates.push_back({node, std::move(path), std::move(*info), std::move(*id),
                              std::move(team), std::move(label), std::move(fileName)});
    }

    // Every application with the two names the others must not take as their own: its label
    // (display name, lowercased) and its file name without extension, version or architecture.
    struct Draft {
        InstalledApp app;
        std::string label;
        std::string fileName;
    };
    std::vector<Draft> drafts;
    drafts.reserve(candidates.size());
    for (const Candidate& c : candidates) {
        const std::string bundleName = lastComponent(c.path);
        const std::string plainName = withoutAll(bundleName, ".app");
        std::string name = c.info.text("CFBundleDisplayName")
                               .value_or(c.info.text("CFBundleName").value_or(plainName));

        std::vector<std::string> ids = {c.id};
        for (std::string& nested : embeddedIDs(c.path))
            ids.push_back(std::move(nested));
        std::vector<std::string> names;
        for (const std::optional<std::string>& n :
             {std::optional<std::string>(name), std::optional<std::string>(plainName),
              c.info.text("CFBundleExecutable")}) {
            if (n && std::find(names.begin(), names.end(), *n) == names.end()) names.push_back(*n);
        }
        InstalledApp app{
            .node = c.node,
            .path = c.path,
            .name = std::move(name),
            .bundleID = c.id,
            .version = c.info.text("CFBundleShortVersionString").value_or(""),
            .identity = AppIdentity(std::move(ids), std::move(names), c.team),
            .appStore = fileExists(c.path + "/Contents/_MASReceipt/receipt"),
            .homebrew = homebrew.contains(bundleName),
            .lastUsed = lastUsed(c.path),
            .appSize = index.size(c.node),
            .leftovers = {},
            .leftoverSize = 0,
        };
        drafts.push_back({std::move(app), c.label, c.fileName});
    }
    // AppImages are files of the user's own home folder: only a Linux profile looks for them.
    if (profile.onLinux) {
        for (InstalledApp& app : findAppImages(index, home, profile)) {
            std::string label = lowercase(app.name);
            std::string fileName = lowercase(appImageName(lastComponent(app.path)).name);
            drafts.push_back({std::move(app), std::move(label), std::move(fileName)});
        }
    }

    std::unordered_map<std::string, int> teamCount;
    for (const Draft& d : drafts) {
        if (d.app.identity.team) ++teamCount[*d.app.identity.team];
    }

    std::vector<InstalledApp> apps;
    apps.reserve(drafts.size());
    for (std::size_t i = 0; i < drafts.size(); ++i) {
        InstalledApp& app = drafts[i].app;
        AppIdentity& identity = app.identity;
        identity.teamExclusive = identity.team && teamCount[*identity.team] == 1;
        for (std::size_t j = 0; j < drafts.size(); ++j) {
            if (j == i) continue;
            for (const std::string& other : {drafts[j].label, drafts[j].fileName}) {
                identity.otherAppNames.insert(other);
                identity.otherAppNames.insert(withoutAll(other, " "));
            }
        }
        identity.otherAppNames.erase(drafts[i].label);
        identity.otherAppNames.erase(drafts[i].fileName);
        // A bundle by its identifier; an AppImage by any of its desktop ids.
        for (const std::string& id :
             app.appImage ? identity.bundleIDs : std::vector<std::string>{app.bundleID}) {
            if (const auto row = extras().find(lowercase(id)); row != extras().end()) {
                identity.extraPaths = row->second;
                break;
            }
        }
        app.leftovers = leftovers(index, identity, home, systemRoot, profile);
        apps.push_back(std::move(app));
    }
    shareOut(index, apps);
    for (InstalledApp& app : apps) {
        for (const Leftover& l : app.leftovers)
            app.leftoverSize += index.size(l.node);
    }
    return apps;
}

std::set<std::string> AppScanner::homebrewApps(const DiskIndex& index, const std::string& root) {
    std::set<std::string> names;
    for (const char* caskroom : {"/opt/homebrew/Caskroom", "/usr/local/Caskroom"}) {
        const auto at = index.lookup(root + caskroom);
        if (!at) continue;
        for (NodeId n : index.subtree(*at)) {
            const std::string_view name = index.nameBytes(n);
            if (name.ends_with(".app") && !index.isGone(n)) names.emplace(name);
        }
    }
    return names;
}

std::optional<std::string> AppScanner::teamID(const std::string&) {
    return std::nullopt;
}

std::vector<std::string> AppScanner::embeddedIDs(const std::string& bundlePath) {
    std::vector<std::string> ids;
    for (const char* sub : {"/Contents/Library/LoginItems", "/Contents/PlugIns",
                            "/Contents/XPCServices", "/Contents/Library/SystemExtensions"}) {
        const std::string folder = bundlePath + sub;
        for (const std::string& entry : listFolder(folder)) {
            if (ids.size() >= maxNestedIDs) break;
            const auto info = BundleInfo::open(folder + "/" + entry);
            const auto id = info ? info->identifier() : std::nullopt;
            if (id && lowercase(*id).find("sparkle") == std::string::npos) ids.push_back(*id);
        }
    }
    for (std::string& entry : listFolder(bundlePath + "/Contents/Library/LaunchServices")) {
        ids.push_back(std::move(entry));
    }
    return ids;
}

std::optional<std::chrono::system_clock::time_point> AppScanner::lastUsed(const std::string&) {
    return std::nullopt;
}

}  // namespace tamrel
