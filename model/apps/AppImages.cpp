#include "model/apps/AppImages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

#include "core/apps/Leftovers.h"
#include "core/base/TextCase.h"
#include "platform/PathText.h"
#include "platform/UniqueFd.h"

namespace tamrel {

namespace {

using Clock = std::chrono::system_clock;

constexpr std::string_view extension = ".appimage";

bool isBoundary(char c) {
    return c == '-' || c == '_' || c == ' ' || c == '.';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool versionAt(std::string_view stem, std::size_t at) {
    if (isDigit(stem[at])) return true;
    return (stem[at] == 'v' || stem[at] == 'V') && at + 1 < stem.size() && isDigit(stem[at + 1]);
}

// Architecture and platform words of AppImage file names, longest first where one begins
// another.
bool architectureAt(std::string_view stem, std::size_t at) {
    static constexpr std::array<std::string_view, 14> words = {
        "x86_64", "x86-64", "amd64", "aarch64", "arm64", "armhf", "armv7l",
        "armv7",  "i386",   "i686",  "x64",     "x86",   "linux64", "linux",
    };
    const std::string rest = lowercase(stem.substr(at));
    for (std::string_view w : words) {
        if (rest.starts_with(w) && (rest.size() == w.size() || isBoundary(rest[w.size()]))) {
            return true;
        }
    }
    return false;
}

// The first `limit` bytes of a file (all of a shorter one); empty when it cannot be read.
std::string readPrefix(const std::string& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    std::string text;
    char chunk[8192];
    while (in && text.size() < limit) {
        in.read(chunk, static_cast<std::streamsize>(std::min(sizeof chunk, limit - text.size())));
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    return text;
}

// Resolves the escapes of a desktop entry value: \s, \n, \t, \r and \\.
std::string unescape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                out += value[i];
        }
    }
    return out;
}

std::string realPath(const std::string& path) {
    std::string out;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        out = real;
        std::free(real);
    }
    return out;
}

// The folders whose files belong to a package manager (Nix, Guix, Flatpak, Snap, Homebrew, the
// system's), for a file's real path.
bool isPackageManaged(const std::string& real, const std::string& home) {
    for (std::string_view folder : {"/usr", "/opt", "/snap", "/nix", "/gnu", "/var/lib/flatpak",
                                    "/var/lib/snapd", "/home/linuxbrew"}) {
        if (isAtOrBelow(real, folder)) return true;
    }
    for (std::string_view folder :
         {"/.local/share/flatpak", "/.nix-profile", "/snap", "/.linuxbrew", "/.guix-profile"}) {
        if (isAtOrBelow(real, home + std::string(folder))) return true;
    }
    return false;
}

// What the file itself tells when it is the user's own AppImage: its real path and its times.
struct FileFacts {
    std::string real;
    LastUse lastUse;
};

std::optional<FileFacts> appImageFile(const std::string& path, const std::string& home) {
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_TYPE | STATX_UID | STATX_ATIME | STATX_CTIME, &sx) != 0) {
        return std::nullopt;
    }
    if (!S_ISREG(sx.stx_mode) || sx.stx_uid != ::getuid()) return std::nullopt;
    const std::string name = lastComponent(path);
    if (!(name.size() > extension.size() &&
          lowercase(name.substr(name.size() - extension.size())) == extension)) {
        // The magic. O_NOATIME: looking must not make a file never opened look used (the
        // owner may ask for it, and only the user's own files get this far).
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOATIME));
        if (!fd) return std::nullopt;
        unsigned char head[11] = {};
        if (::pread(fd.get(), head, sizeof head, 0) != static_cast<ssize_t>(sizeof head))
            return std::nullopt;
        if (head[0] != 0x7F || head[1] != 'E' || head[2] != 'L' || head[3] != 'F' ||
            head[8] != 'A' || head[9] != 'I' || (head[10] != 1 && head[10] != 2)) {
            return std::nullopt;
        }
    }
    std::string real = realPath(path);
    if (real.empty() || isPackageManaged(real, home)) return std::nullopt;
    struct statvfs fs {};
    const bool noatime = ::statvfs(path.c_str(), &fs) == 0 && (fs.f_flag & ST_NOATIME);
    const timespec atime{sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec};
    const timespec ctime{sx.stx_ctime.tv_sec, sx.stx_ctime.tv_nsec};
    return FileFacts{std::move(real), lastUse(atime, ctime, noatime)};
}

struct Entry {
    NodeId node = NONE;
    std::string id;  // desktop file id
    DesktopEntry keys;
};

// The desktop entries below `folder` of the index, with their file ids ("kde/foo.desktop" is
// "kde-foo"), in index order.
void listEntries(const DiskIndex& index, NodeId folder, const std::string& prefix,
                 std::vector<Entry>& out) {
    for (NodeId c : index.children(folder)) {
        if (index.isRemoved(c)) continue;
        const std::string name = index.name(c);
        if (index.isDir(c)) {
            listEntries(index, c, prefix + name + "-", out);
        } else if (index.isFile(c) && name.size() > 8 && name.ends_with(".desktop")) {
            if (auto keys = readDesktopEntry(index.path(c))) {
                out.push_back({c, prefix + name.substr(0, name.size() - 8), std::move(*keys)});
            }
        }
    }
}

bool isIconFile(std::string_view name, std::string_view* stem) {
    for (std::string_view ext : {".png", ".svg", ".svgz", ".xpm"}) {
        if (name.size() > ext.size() && name.ends_with(ext)) {
            *stem = name.substr(0, name.size() - ext.size());
            return true;
        }
    }
    return false;
}

// The edge in pixels that the last icon theme size folder on `path` names ("64x64"; "64x64@2"
// twice that), 0 where none does ("scalable", an icon right in the icons folder).
std::uint32_t themeEdge(std::string_view path) {
    std::uint32_t edge = 0;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        const char* at = part.data();
        const char* end = part.data() + part.size();
        std::uint32_t width = 0, height = 0, scale = 1;
        auto read = std::from_chars(at, end, width);
        if (read.ec != std::errc() || read.ptr == end || *read.ptr != 'x') continue;
        read = std::from_chars(read.ptr + 1, end, height);
        if (read.ec != std::errc()) continue;
        if (read.ptr != end && *read.ptr == '@') read = std::from_chars(read.ptr + 1, end, scale);
        if (read.ec == std::errc() && read.ptr == end && width == height && scale < 16)
            edge = width * scale;
    }
    return edge;
}

void addUnique(std::vector<std::string>& list, const std::string& value) {
    if (!value.empty() && std::find(list.begin(), list.end(), value) == list.end())
        list.push_back(value);
}

}  // namespace

AppImageName appImageName(std::string_view fileName) {
    std::string_view stem = fileName;
    if (stem.size() > extension.size() &&
        lowercase(stem.substr(stem.size() - extension.size())) == extension) {
        stem.remove_suffix(extension.size());
    }
    std::optional<std::size_t> cut;
    std::optional<std::size_t> version;
    // The first word is always part of the name ("1password-8.10.7.AppImage"); the version
    // comes before the architecture ("64" of "x86_64" is none).
    for (std::size_t at = 1; at < stem.size() && !cut; ++at) {
        if (!isBoundary(stem[at - 1]) || isBoundary(stem[at])) continue;
        if (versionAt(stem, at)) {
            version = at;
            cut = at;
        } else if (architectureAt(stem, at)) {
            cut = at;
        }
    }
    AppImageName out;
    std::size_t end = cut.value_or(stem.size());
    while (end > 0 && isBoundary(stem[end - 1])) --end;
    out.name = std::string(end == 0 ? stem : stem.substr(0, end));
    if (version) {
        std::size_t from = *version;
        if (!isDigit(stem[from])) ++from;  // "v1.2"
        std::size_t to = from;
        while (to < stem.size() && stem[to] != '-' && stem[to] != '_' && stem[to] != ' ') ++to;
        while (to > from && stem[to - 1] == '.') --to;
        out.version = std::string(stem.substr(from, to - from));
    }
    return out;
}

LastUse lastUse(const timespec& atime, const timespec& ctime, bool noatime) {
    if (noatime) return {false, std::nullopt};
    const bool later = atime.tv_sec != ctime.tv_sec ? atime.tv_sec > ctime.tv_sec
                                                    : atime.tv_nsec > ctime.tv_nsec;
    if (!later) return {true, std::nullopt};
    return {true, Clock::time_point(std::chrono::duration_cast<Clock::duration>(
                      std::chrono::seconds(atime.tv_sec) + std::chrono::nanoseconds(atime.tv_nsec)))};
}

std::optional<DesktopEntry> readDesktopEntry(const std::string& path) {
    // Desktop entries are a few kilobytes; a larger file is read as far as this.
    const std::string text = readPrefix(path, 256 * 1024);
    DesktopEntry entry;
    bool inEntry = false;
    bool found = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line = std::string_view(text).substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.starts_with('[')) {
            inEntry = line == "[Desktop Entry]";
            found = found || inEntry;
            continue;
        }
        if (!inEntry || line.starts_with('#')) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view key = line.substr(0, eq);
        while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
        std::string_view value = line.substr(eq + 1);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        const std::pair<std::string_view, std::string*> keys[] = {
            {"Name", &entry.name},
            {"Icon", &entry.icon},
            {"StartupWMClass", &entry.wmClass},
            {"X-AppImage-Name", &entry.appImageName},
            {"X-AppImage-Version", &entry.version},
            {"TryExec", &entry.tryExec},
        };
        for (const auto& [k, field] : keys) {
            if (key == k) *field = unescape(value);
        }
    }
    if (!found) return std::nullopt;
    entry.program = Processes::execProgram(path).value_or("");
    return entry;
}

std::vector<std::string> appImageMountRoots() {
    std::vector<std::string> roots = {"/tmp"};
    const char* tmp = std::getenv("TMPDIR");
    if (tmp && tmp[0] == '/') {
        std::string t = tmp;
        while (t.size() > 1 && t.back() == '/') t.pop_back();
        if (t != roots[0]) roots.push_back(std::move(t));
    }
    return roots;
}

std::vector<ProcessInfo> appImageCopies(const std::vector<ProcessInfo>& all,
                                        const std::string& path,
                                        const std::vector<std::string>& mountRoots,
                                        const std::string& procRoot) {
    const std::string real = realPath(path);
    const std::string fileName = lastComponent(path);
    const std::string prefix = "/.mount_" + fileName.substr(0, 6);
    const auto namesFile = [&](const std::string& given) {
        return given == path || (!real.empty() && (given == real || realPath(given) == real));
    };
    const auto inMount = [&](const std::string& exe) {
        for (const std::string& root : mountRoots) {
            const std::string mark = root + prefix;
            // The folder is the prefix and six random characters: the executable lies below it.
            if (exe.starts_with(mark) && exe.find('/', mark.size()) != std::string::npos)
                return true;
        }
        return false;
    };
    std::vector<ProcessInfo> out;
    for (const ProcessInfo& p : all) {
        if (!p.exe.empty() && namesFile(p.exe)) {
            out.push_back(p);
            continue;
        }
        const std::string environ = readPrefix(procRoot + "/" + std::to_string(p.pid) + "/environ",
                                               1 << 20);
        std::optional<std::string> appImage;
        for (std::size_t at = 0; at < environ.size();) {
            std::size_t end = environ.find('\0', at);
            if (end == std::string::npos) end = environ.size();
            const std::string_view var = std::string_view(environ).substr(at, end - at);
            if (var.starts_with("APPIMAGE=")) appImage = std::string(var.substr(9));
            at = end + 1;
        }
        if (appImage ? namesFile(*appImage) : inMount(p.exe)) out.push_back(p);
    }
    return out;
}

std::vector<InstalledApp> findAppImages(const DiskIndex& index, const std::string& home,
                                        const RuleProfile& profile) {
    struct Found {
        NodeId node;
        std::string path;
        std::string real;
        LastUse lastUse;
        std::vector<std::size_t> entries;  // into `entries`
    };
    std::vector<Found> found;
    for (NodeId node : appImageFiles(index, home)) {
        std::string path = index.path(node);
        if (auto facts = appImageFile(path, home)) {
            found.push_back({node, std::move(path), std::move(facts->real), facts->lastUse, {}});
        }
    }
    if (found.empty()) return {};

    const LinuxPaths places(profile, home);
    std::vector<Entry> entries;
    if (const auto folder = places("%data/applications")) {
        if (const auto at = index.lookup(*folder); at && index.isDir(*at) && !index.isGone(*at))
            listEntries(index, *at, "", entries);
    }
    // Which AppImage each entry starts: by its Exec program, else its TryExec, as an absolute
    // path (naming the file or the same file through a link), or as a bare name for a file in
    // a folder of programs ("~/.local/bin/nvim" started as "nvim").
    std::unordered_map<std::string, std::size_t> byPath;
    std::unordered_map<std::string, std::size_t> byBareName;
    for (std::size_t i = 0; i < found.size(); ++i) {
        byPath.emplace(found[i].path, i);
        if (!found[i].real.empty()) byPath.emplace(found[i].real, i);
        const std::string folder = parentPath(found[i].path);
        if (folder == home + "/.local/bin" || folder == home + "/bin")
            byBareName.emplace(found[i].path.substr(folder.size() + 1), i);
    }
    const auto owner = [&](const std::string& program) -> std::optional<std::size_t> {
        if (program.empty()) return std::nullopt;
        if (program.find('/') == std::string::npos) {
            const auto it = byBareName.find(program);
            return it == byBareName.end() ? std::nullopt : std::optional(it->second);
        }
        if (const auto it = byPath.find(program); it != byPath.end()) return it->second;
        if (const auto it = byPath.find(realPath(program)); it != byPath.end()) return it->second;
        return std::nullopt;
    };
    std::vector<std::optional<std::size_t>> entryOwner(entries.size());
    for (std::size_t e = 0; e < entries.size(); ++e) {
        entryOwner[e] = owner(entries[e].keys.program);
        if (!entryOwner[e]) entryOwner[e] = owner(entries[e].keys.tryExec);
        if (entryOwner[e]) found[*entryOwner[e]].entries.push_back(e);
    }

    // The icon files of the data home each entry's Icon= resolves to: an absolute path names
    // one file (through links too), a name every file of that name in the icon theme folders.
    // An icon file counts as an AppImage's own when every entry whose Icon= resolves to it
    // starts that AppImage, however the entries spell it.
    std::unordered_map<std::string, std::vector<NodeId>> iconFiles;
    const std::optional<std::string> iconFolder = places("%data/icons");
    std::optional<NodeId> iconTop;
    if (iconFolder) {
        if (const auto at = index.lookup(*iconFolder); at && index.isDir(*at) && !index.isGone(*at))
            iconTop = at;
    }
    if (iconTop) {
        std::set<std::string, std::less<>> names;
        for (const Entry& e : entries) {
            if (!e.keys.icon.empty() && !e.keys.icon.starts_with('/')) names.insert(e.keys.icon);
        }
        for (NodeId n : index.subtree(*iconTop)) {
            std::string_view stem;
            if (!index.isFile(n) || !isIconFile(index.nameBytes(n), &stem)) continue;
            if (names.contains(stem) && !index.isGone(n)) iconFiles[std::string(stem)].push_back(n);
        }
    }
    const auto iconFile = [&](const std::string& path) -> std::optional<NodeId> {
        const auto n = index.lookup(path);
        if (!n || !index.isFile(*n) || index.isGone(*n) || !index.isAncestor(*iconTop, *n))
            return std::nullopt;
        return n;
    };
    std::vector<std::vector<NodeId>> entryIcons(entries.size());
    std::map<NodeId, std::set<std::optional<std::size_t>>> iconUsers;
    for (std::size_t e = 0; e < entries.size(); ++e) {
        const std::string& icon = entries[e].keys.icon;
        if (icon.empty() || !iconTop) continue;
        if (!icon.starts_with('/')) {
            if (const auto files = iconFiles.find(icon); files != iconFiles.end())
                entryIcons[e] = files->second;
        } else if (auto n = iconFile(icon)) {
            entryIcons[e].push_back(*n);
        } else if (const std::string real = realPath(icon); !real.empty()) {
            if ((n = iconFile(real))) entryIcons[e].push_back(*n);
        }
        for (NodeId n : entryIcons[e])
            iconUsers[n].insert(entryOwner[e]);
    }

    std::vector<InstalledApp> apps;
    apps.reserve(found.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        Found& f = found[i];
        const std::string fileName = lastComponent(f.path);
        const AppImageName fromFile = appImageName(fileName);
        // The entry with the smallest id speaks for the application.
        std::sort(f.entries.begin(), f.entries.end(),
                  [&](std::size_t a, std::size_t b) { return entries[a].id < entries[b].id; });
        std::vector<std::string> ids;
        std::vector<std::string> names;
        std::vector<NodeId> desktopFiles;
        std::string version;
        std::string icon;
        for (std::size_t e : f.entries) {
            const DesktopEntry& keys = entries[e].keys;
            addUnique(ids, entries[e].id);
            addUnique(ids, keys.wmClass);
            addUnique(ids, keys.appImageName);
            addUnique(names, keys.name);
            if (version.empty()) version = keys.version;
            if (icon.empty()) icon = keys.icon;
            desktopFiles.push_back(entries[e].node);
            for (NodeId n : entryIcons[e]) {
                const auto& users = iconUsers[n];
                if (users.size() == 1 && *users.begin() == i) desktopFiles.push_back(n);
            }
        }
        addUnique(names, fromFile.name);
        if (version.empty()) version = fromFile.version;
        // An icon name the user's icons hold is shown from there: an SVG, else the largest
        // picture, by the size its theme folder names and then by the file's size (small
        // pictures all take one block), and then by path, so that the order in which the file
        // system lists them never decides. The others follow in that order, for a file that
        // cannot be read (an SVG where Qt has no SVG plugin).
        std::vector<std::string> icons;
        if (!icon.empty() && !icon.starts_with('/')) {
            if (const auto files = iconFiles.find(icon); files != iconFiles.end()) {
                const auto rank = [&](NodeId n) {
                    std::string path = index.path(n);
                    const bool svg = path.ends_with(".svg");
                    const std::uint32_t edge = themeEdge(path);
                    return std::tuple(svg, edge, index.size(n), std::move(path));
                };
                std::vector<decltype(rank(0))> ranked;
                for (NodeId n : files->second)
                    ranked.push_back(rank(n));
                std::sort(ranked.begin(), ranked.end(), std::greater<>());
                for (auto& r : ranked)
                    icons.push_back(std::move(std::get<3>(r)));
            }
        }
        if (icons.empty() && !icon.empty()) icons.push_back(std::move(icon));
        std::sort(desktopFiles.begin(), desktopFiles.end());
        desktopFiles.erase(std::unique(desktopFiles.begin(), desktopFiles.end()),
                           desktopFiles.end());
        InstalledApp app{
            .node = f.node,
            .path = f.path,
            .name = names.front(),
            .bundleID = f.entries.empty() ? fileName : entries[f.entries.front()].id,
            .version = version,
            .identity = AppIdentity(std::move(ids), names),
            .appStore = false,
            .homebrew = false,
            .lastUsed = f.lastUse.at,
            .appSize = index.size(f.node),
            .leftovers = {},
            .leftoverSize = 0,
            .appImage = true,
            .icons = std::move(icons),
            .lastUsedKnown = f.lastUse.known,
            .desktopFiles = std::move(desktopFiles),
        };
        apps.push_back(std::move(app));
    }
    return apps;
}

}  // namespace tamrel
