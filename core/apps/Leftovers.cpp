#include "core/apps/Leftovers.h"

#include <algorithm>
#include <array>
#include <string>
#include <unordered_set>
#include <utility>

#include "core/base/LargestFirst.h"
#include "core/base/TextCase.h"

namespace tamrel {

namespace {

using LKind = Leftover::Kind;

constexpr std::array<std::string_view, 25> genericWords = {
    "helper",    "agent", "app",      "update",   "updater",     "music",  "mail",
    "photos",    "notes", "calendar", "settings", "preferences", "system", "support",
    "data",      "cache", "caches",   "logs",     "default",     "chrome", "google",
    "microsoft", "adobe", "apple",    "code",
};

// Names every Linux desktop shares, never name matches with the Linux profile.
bool isSharedLinuxName(std::string_view name) {
    static const std::unordered_set<std::string_view> words = {
        "applications", "autostart",  "icons",     "fonts",    "themes",  "menus",    "keyrings",
        "trash",        "dconf",      "systemd",   "gtk-3.0",  "gtk-4.0", "pulse",    "pipewire",
        "flatpak",      "containers", "webkitgtk", "terminal", "files",   "software",
    };
    return words.contains(name);
}

std::string replaceSpaces(std::string_view s, std::string_view with) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == ' ') {
            out += with;
        } else {
            out += c;
        }
    }
    return out;
}

// The identifier, name and team rules of one application.
class Matcher {
public:
    Matcher(const AppIdentity& app, bool linuxWords) {
        for (const std::string& given : app.bundleIDs) {
            std::string id = lowercase(given);
            if (splitNonEmpty(id, '.').size() < 2 || ids_.contains(id)) continue;
            ids_.insert(id);
            idOrder_.push_back(std::move(id));
        }
        for (const std::string& given : app.names) {
            const std::string name = lowercase(given);
            for (std::string variant : {name, replaceSpaces(name, ""), replaceSpaces(name, "-"),
                                        replaceSpaces(name, "_")}) {
                if (graphemeCount(variant) < 4) continue;
                if (std::find(genericWords.begin(), genericWords.end(), variant) !=
                    genericWords.end()) {
                    continue;
                }
                if (app.otherAppNames.contains(variant)) continue;
                if (linuxWords && isSharedLinuxName(variant)) continue;
                names_.insert(std::move(variant));
            }
        }
        if (app.teamExclusive && app.team) teamPrefix_ = lowercase(*app.team) + ".";
    }

    const std::vector<std::string>& ids() const { return idOrder_; }

    // Equals an identifier, or begins with one followed by ".".
    bool byIdentifier(const std::string& lower) const {
        if (ids_.empty()) return false;
        if (ids_.contains(lower)) return true;
        for (std::size_t dot = lower.find('.'); dot != std::string::npos;
             dot = lower.find('.', dot + 1)) {
            if (ids_.contains(lower.substr(0, dot))) return true;
        }
        return false;
    }

    // Equals an identifier exactly.
    bool isIdentifier(const std::string& lower) const { return ids_.contains(lower); }

    bool byName(const std::string& lower) const { return names_.contains(lower); }

    // Holds an identifier between dots (or the ends of the name), else, for a team-exclusive
    // application, begins with its team followed by ".". A bare substring is not enough:
    // com.example.app must not claim group.com.example.application.
    bool groupContainer(const std::string& lower) const {
        for (const std::string& id : idOrder_) {
            for (std::size_t at = lower.find(id); at != std::string::npos;
                 at = lower.find(id, at + 1)) {
                const std::size_t end = at + id.size();
                if ((at == 0 || lower[at - 1] == '.') &&
                    (end == lower.size() || lower[end] == '.')) {
                    return true;
                }
            }
        }
        return !teamPrefix_.empty() && lower.starts_with(teamPrefix_);
    }

private:
    std::unordered_set<std::string> ids_;
    std::vector<std::string> idOrder_;
    std::unordered_set<std::string> names_;
    std::string teamPrefix_;
};

// One result list: no node twice, none inside another, nothing already moved to the Trash.
class Taken {
public:
    explicit Taken(const DiskIndex& index) : index_(index) {}

    void take(NodeId node, LKind kind, bool system, bool byName = false) {
        if (index_.isGone(node)) return;
        for (const Leftover& t : out_) {
            if (t.node == node || index_.isAncestor(t.node, node) ||
                index_.isAncestor(node, t.node)) {
                return;
            }
        }
        out_.push_back({node, kind, system, byName});
    }

    std::vector<Leftover> sorted() && {
        std::vector<std::pair<std::uint64_t, Leftover>> keyed;
        keyed.reserve(out_.size());
        for (const Leftover& l : out_)
            keyed.emplace_back(index_.size(l.node), l);
        return largestFirst(std::move(keyed));
    }

private:
    const DiskIndex& index_;
    std::vector<Leftover> out_;
};

enum class Rule { identifier, identifierOrName };

struct Row {
    std::string_view folder;  // below the user's Library, or below the system root
    Rule rule;
    LKind kind;
};

constexpr Row userRows[] = {
    {"/Application Support", Rule::identifierOrName, LKind::support},
    {"/Caches", Rule::identifierOrName, LKind::cache},
    {"/Logs", Rule::identifierOrName, LKind::logs},
    {"/Preferences", Rule::identifier, LKind::prefs},
    {"/Preferences/ByHost", Rule::identifier, LKind::prefs},
    {"/Saved Application State", Rule::identifier, LKind::state},
    {"/Containers", Rule::identifier, LKind::container},
    {"/Application Scripts", Rule::identifier, LKind::container},
    {"/WebKit", Rule::identifier, LKind::web},
    {"/HTTPStorages", Rule::identifier, LKind::web},
    {"/Cookies", Rule::identifier, LKind::web},
    {"/LaunchAgents", Rule::identifier, LKind::agent},
    {"/Caches/com.apple.nsurlsessiond/Downloads", Rule::identifier, LKind::cache},
};

constexpr Row systemRows[] = {
    {"/Library/LaunchAgents", Rule::identifier, LKind::agent},
    {"/Library/LaunchDaemons", Rule::identifier, LKind::daemon},
    {"/Library/PrivilegedHelperTools", Rule::identifier, LKind::helper},
    {"/Library/Application Support", Rule::identifierOrName, LKind::support},
    {"/Library/Caches", Rule::identifier, LKind::cache},
    {"/Library/Preferences", Rule::identifier, LKind::prefs},
    {"/Library/Logs", Rule::identifierOrName, LKind::logs},
};

void searchRow(const DiskIndex& index, const Matcher& match, Taken& taken,
               const std::string& folder, Rule rule, LKind kind, bool system) {
    const auto at = index.lookup(folder);
    if (!at) return;
    for (NodeId c : index.children(*at)) {
        const std::string lower = lowercase(index.nameBytes(c));
        if (match.byIdentifier(lower)) {
            taken.take(c, kind, system);
        } else if (rule == Rule::identifierOrName && match.byName(lower)) {
            taken.take(c, kind, system, true);
        }
    }
}

struct Searched {
    std::string folder;  // absolute
    LKind kind;
};

void searchVendors(const DiskIndex& index, const Matcher& match, Taken& taken,
                   const std::vector<Searched>& searched) {
    std::vector<std::string> vendors;
    for (const std::string& id : match.ids()) {
        const auto parts = splitNonEmpty(id, '.');
        if (parts.size() < 3) continue;
        std::string vendor(parts[1]);
        if (std::find(vendors.begin(), vendors.end(), vendor) == vendors.end()) {
            vendors.push_back(std::move(vendor));
        }
    }
    for (const std::string& vendor : vendors) {
        for (const Searched& s : searched) {
            const auto folder = index.lookup(s.folder);
            if (!folder) continue;
            // The first child of that name in index order is the vendor folder; when it has
            // been moved to the Trash, the search offers nothing here rather than trying another.
            std::optional<NodeId> vendorFolder;
            for (NodeId c : index.children(*folder)) {
                if (lowercase(index.nameBytes(c)) == vendor) {
                    vendorFolder = c;
                    break;
                }
            }
            if (!vendorFolder || index.isGone(*vendorFolder)) continue;
            for (NodeId c : index.children(*vendorFolder)) {
                const std::string lower = lowercase(index.nameBytes(c));
                if (match.byName(lower)) {
                    taken.take(c, s.kind, false, true);
                } else if (match.byIdentifier(lower)) {
                    taken.take(c, s.kind, false);
                }
            }
        }
    }
}

// The children of one XDG folder that match by identifier, or by one of the names followed by
// one of `nameEndings` ("" for the plain name, "rc" for KDE's settings files). A child for which
// `kept` answers true is never offered.
void searchXdg(const DiskIndex& index, const Matcher& match, Taken& taken,
               const std::optional<std::string>& folder, LKind kind,
               std::initializer_list<std::string_view> nameEndings,
               bool (*kept)(std::string_view) = nullptr) {
    const auto at = folder ? index.lookup(*folder) : std::nullopt;
    if (!at) return;
    for (NodeId c : index.children(*at)) {
        if (kept && kept(index.nameBytes(c))) continue;
        const std::string lower = lowercase(index.nameBytes(c));
        if (match.byIdentifier(lower)) {
            taken.take(c, kind, false);
            continue;
        }
        for (std::string_view ending : nameEndings) {
            if (lower.size() > ending.size() && lower.ends_with(ending) &&
                match.byName(lower.substr(0, lower.size() - ending.size()))) {
                taken.take(c, kind, false, true);
                break;
            }
        }
    }
}

// The Linux rows, after the Library ones: the XDG homes, Flatpak's and Snap's per-application
// homes, autostart entries and vendor folders.
void searchLinux(const DiskIndex& index, const AppIdentity& app, const Matcher& match, Taken& taken,
                 const LinuxPaths& places) {
    searchXdg(index, match, taken, places("%data"), LKind::support, {""});
    // Evolution's offline edits, KDE's remote files being edited: never offered, even ticked.
    searchXdg(index, match, taken, places("%cache"), LKind::cache, {""}, isKeptLinuxCache);
    searchXdg(index, match, taken, places("%config"), LKind::prefs, {"", "rc"});
    searchXdg(index, match, taken, places("%state"), LKind::state, {"", "staterc"});
    // What "flatpak uninstall --delete-data" and "snap remove" would take: the exact identifier
    // only, since "org.kde.kate.Devel" or "com.visualstudio.code.insiders" is another Flatpak.
    if (const auto flatpaks = places("~/.var/app")) {
        if (const auto at = index.lookup(*flatpaks)) {
            for (NodeId c : index.children(*at)) {
                if (match.isIdentifier(lowercase(index.nameBytes(c)))) {
                    taken.take(c, LKind::container, false);
                }
            }
        }
    }
    if (!app.snapName.empty()) {
        if (const auto snap = places("~/snap/" + app.snapName)) {
            if (const auto at = index.lookup(*snap)) taken.take(*at, LKind::container, false);
        }
    }
    searchXdg(index, match, taken, places("%config/autostart"), LKind::agent, {".desktop"});
    std::vector<Searched> vendorFolders;
    for (const auto& [folder, kind] :
         {std::pair{"%data", LKind::support}, std::pair{"%cache", LKind::cache},
          std::pair{"%config", LKind::prefs}}) {
        if (auto path = places(folder)) vendorFolders.push_back({std::move(*path), kind});
    }
    searchVendors(index, match, taken, vendorFolders);
}

}  // namespace

std::vector<NodeId> appBundles(const DiskIndex& index, std::string_view home,
                               std::string_view systemRoot) {
    std::vector<NodeId> out;
    const auto walk = [&](auto& self, NodeId folder, int depth) -> void {
        for (NodeId c : index.children(folder)) {
            if (!index.isDir(c) || index.isRemoved(c)) continue;
            if (index.nameBytes(c).ends_with(".app")) {
                out.push_back(c);
            } else if (depth < 3) {
                self(self, c, depth + 1);
            }
        }
    };
    std::optional<NodeId> first;
    for (const std::string& folder :
         {std::string(systemRoot) + "/Applications", std::string(home) + "/Applications"}) {
        const auto at = index.lookup(folder);
        if (!at || at == first || index.isGone(*at)) continue;
        if (!first) first = at;
        walk(walk, *at, 1);
    }
    return out;
}

const std::vector<std::string_view>& appImageFolders() {
    static const std::vector<std::string_view> folders = {
        "/Applications", "/AppImages", "/Apps", "/.local/bin", "/bin", "/opt",
    };
    return folders;
}

std::vector<NodeId> appImageFiles(const DiskIndex& index, std::string_view home) {
    std::vector<NodeId> out;
    const auto files = [&](NodeId folder) {
        for (NodeId c : index.children(folder)) {
            if (index.isFile(c) && !index.isRemoved(c)) out.push_back(c);
        }
    };
    for (std::string_view folder : appImageFolders()) {
        const auto at = index.lookup(std::string(home) + std::string(folder));
        if (!at || !index.isDir(*at) || index.isGone(*at)) continue;
        files(*at);
        for (NodeId c : index.children(*at)) {
            if (index.isDir(c) && !index.isRemoved(c) && !index.nameBytes(c).ends_with(".app")) {
                files(c);
            }
        }
    }
    return out;
}

std::vector<Leftover> leftovers(const DiskIndex& index, const AppIdentity& app,
                                std::string_view home, std::string_view systemRoot,
                                const RuleProfile& profile) {
    const Matcher match(app, profile.onLinux);
    Taken taken(index);
    const std::string homeText(home);
    const std::string library = homeText + "/Library";

    for (const Row& row : userRows) {
        searchRow(index, match, taken, library + std::string(row.folder), row.rule, row.kind,
                  false);
    }
    searchVendors(index, match, taken,
                  {{library + "/Application Support", LKind::support},
                   {library + "/Caches", LKind::cache},
                   {library + "/Logs", LKind::logs}});
    if (profile.onLinux) searchLinux(index, app, match, taken, LinuxPaths(profile, home));
    if (const auto groups = index.lookup(library + "/Group Containers")) {
        for (NodeId c : index.children(*groups)) {
            if (match.groupContainer(lowercase(index.nameBytes(c)))) {
                taken.take(c, LKind::group, false);
            }
        }
    }
    for (const std::string& entry : app.extraPaths) {
        std::string path;
        if (entry.starts_with('~')) {
            path = homeText + entry.substr(1);
        } else if (entry.starts_with('/')) {
            path = std::string(systemRoot) + entry;
        } else {
            continue;
        }
        if (const auto at = index.lookup(path)) {
            taken.take(*at, LKind::tool, !path.starts_with(homeText + "/"));
        }
    }
    for (const Row& row : systemRows) {
        searchRow(index, match, taken, std::string(systemRoot) + std::string(row.folder), row.rule,
                  row.kind, true);
    }
    return std::move(taken).sorted();
}

bool leftoverTickedByDefault(const Leftover& leftover, bool teamExclusive,
                             const RuleProfile& profile) {
    if (leftover.kind == LKind::group) return teamExclusive;
    if (!profile.onLinux) return true;
    return !leftover.byName || leftover.kind == LKind::cache;
}

}  // namespace tamrel
