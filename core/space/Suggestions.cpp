#include "core/space/Suggestions.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>
#include <shared_mutex>

#include "core/base/Chunks.h"
#include "core/base/ComputePool.h"
#include "core/base/LargestFirst.h"
#include "core/query/FileKind.h"
#include "core/space/HomeBase.h"
#include "core/space/ProjectFolders.h"
#include "core/base/TextCase.h"
#include "core/base/Utf8.h"
#include "platform/XdgDirs.h"

namespace tamrel {

namespace {

constexpr std::size_t nameScanChunks = 64;
constexpr std::uint32_t staleAge = 7'776'000;    // 90 days
constexpr std::uint64_t staleSize = 10'485'760;  // 10 MiB

bool offeredFirstByte(unsigned char c) {
    return c == '.' || c == 'P' || c == '_' || c == 'n' || c == 't' || c == 'v';
}

class Builder {
public:
    Builder(const DiskIndex& index, std::uint64_t minSize) : index_(index), minSize_(minSize) {}

    // The common step: candidates not gone and of at least minSize, largest first.
    void add(std::string_view id, std::string_view title, std::string_view blurb,
             std::string_view symbol, const std::vector<NodeId>& candidates) {
        std::vector<std::pair<std::uint64_t, NodeId>> kept;
        for (NodeId c : candidates) {
            if (index_.isGone(c)) continue;
            const std::uint64_t size = index_.size(c);
            if (size >= minSize_) kept.emplace_back(size, c);
        }
        Suggestion s{
            std::string(id), std::string(title), std::string(blurb), std::string(symbol), {}, 0};
        for (const auto& k : kept)
            s.total += k.first;
        s.nodes = largestFirst(std::move(kept));
        if (s.total > 0) out.push_back(std::move(s));
    }

    std::vector<NodeId> kids(const std::optional<std::string>& path) const {
        std::vector<NodeId> ids;
        if (!path) return ids;
        if (const std::optional<NodeId> n = index_.lookup(*path)) {
            for (NodeId c : index_.children(*n))
                ids.push_back(c);
        }
        return ids;
    }

    std::vector<Suggestion> out;

private:
    const DiskIndex& index_;
    std::uint64_t minSize_;
};

}  // namespace

bool isLinuxPackageExt(std::string_view e) {
    return e == "deb" || e == "rpm" || e == "flatpak" || e == "snap";
}

std::vector<NodeId> dirsNamed(const DiskIndex& index, const FolderTest& test) {
    const Chunks chunks = Chunks::even({0, index.count()}, nameScanChunks);
    std::array<std::vector<NodeId>, nameScanChunks> slots;
    const std::span<const std::uint8_t> names = index.nameData();
    const std::span<const std::uint32_t> offsets = index.nameOffsets();
    ComputePool::shared().run(nameScanChunks, [&](std::size_t c) {
        std::vector<NodeId>& slot = slots[c];
        std::string repaired;
        for (NodeId i : chunks[c]) {
            if (!index.isDir(i)) continue;
            const std::uint32_t from = offsets[i], to = offsets[i + 1];
            if (from == to || !offeredFirstByte(names[from])) continue;
            std::string_view name(reinterpret_cast<const char*>(names.data()) + from, to - from);
            if (!isAscii(name) && !isValidUtf8(name)) {
                repaired = repairUtf8(name);
                name = repaired;
            }
            if (test(name, i)) slot.push_back(i);
        }
    });
    std::size_t total = 0;
    for (const auto& s : slots)
        total += s.size();
    std::vector<NodeId> result;
    result.reserve(total);
    for (const auto& s : slots)
        result.insert(result.end(), s.begin(), s.end());
    return result;
}

std::vector<Suggestion> suggestions(const DiskIndex& index, std::string_view home,
                                    std::uint64_t minSize,
                                    std::chrono::system_clock::time_point now,
                                    const RuleProfile& profile) {
    std::shared_lock guard(index.lock());
    const LinuxPaths places(profile, home);
    const std::optional<std::string> base = homeBase(home);
    auto at = [&](std::string_view suffix) -> std::optional<std::string> {
        if (!base) return std::nullopt;
        return *base + std::string(suffix);
    };
    auto node = [&](std::string_view suffix) -> std::optional<NodeId> {
        const std::optional<std::string> p = at(suffix);
        return p ? index.lookup(*p) : std::nullopt;
    };
    Builder b(index, minSize);

    std::vector<NodeId> xcode = b.kids(at("/Library/Developer/Xcode/DerivedData"));
    for (const char* support : {"/Library/Developer/Xcode/iOS DeviceSupport",
                                "/Library/Developer/Xcode/watchOS DeviceSupport"}) {
        const std::vector<NodeId> more = b.kids(at(support));
        xcode.insert(xcode.end(), more.begin(), more.end());
    }
    if (const auto sim = node("/Library/Developer/CoreSimulator/Caches")) xcode.push_back(*sim);
    b.add("xcode", "Xcode leftovers",
          "Build products and device symbols. Xcode recreates them when needed.", "hammer.fill",
          xcode);

    b.add("node", "node_modules",
          "Dependencies of your JS projects. Run your package manager to bring them back.",
          "shippingbox.fill", dirsNamed(index, [&index](std::string_view name, NodeId id) {
              return name == "node_modules" && outermostNamed(index, id, name);
          }));

    b.add("build", "Build folders",
          "Compiler output next to a project file (.build, target, .next, Pods, .venv).",
          "wrench.and.screwdriver.fill",
          dirsNamed(index, [&index](std::string_view name, NodeId id) {
              return isSuggestedBuildFolder(index, name, id);
          }));

    // On Linux the whole cache home is every application's cache, so the package caches inside
    // it are listed one by one: listing both would count their bytes twice.
    std::vector<NodeId> pkg;
    for (const char* p : {"/.npm/_cacache", "/.cache", "/.gradle/caches", "/.cargo/registry/cache",
                          "/.bun/install/cache", "/Library/pnpm/store"}) {
        if (profile.onLinux && std::string_view(p) == "/.cache") continue;
        if (const auto n = node(p)) pkg.push_back(*n);
    }
    if (profile.onLinux) {
        for (const char* p : {"%cache/pip", "%cache/uv", "%cache/yarn", "%cache/go-build",
                              "%cache/composer", "%cache/node-gyp", "%data/pnpm/store",
                              "~/.yarn/berry/cache", "~/.nuget/packages", "~/go/pkg/mod"}) {
            const std::optional<std::string> path = places(p);
            const std::optional<NodeId> n = path ? index.lookup(*path) : std::nullopt;
            if (n && std::find(pkg.begin(), pkg.end(), *n) == pkg.end()) pkg.push_back(*n);
        }
    }
    std::vector<NodeId> appCaches = b.kids(at("/Library/Caches"));
    if (profile.onLinux) {
        // The package caches among them are listed there, not here.
        for (NodeId n : b.kids(places("%cache"))) {
            if (std::find(pkg.begin(), pkg.end(), n) == pkg.end()) appCaches.push_back(n);
        }
    }
    b.add("caches", "App caches",
          "Things apps keep around to load faster. They refill over time, so expect some of it "
          "back.",
          "sparkles", appCaches);

    b.add("pkg", "Package manager caches",
          "Downloaded copies of packages from npm, pip, cargo, gradle and friends.",
          "archivebox.fill", pkg);

    // The download folder of user-dirs.dirs (its name is often translated) besides
    // "/Downloads"; the one inside the other is walked once.
    std::vector<NodeId> downloads;
    if (const auto d = node("/Downloads")) downloads.push_back(*d);
    if (profile.onLinux && !profile.downloadDir.empty()) {
        const std::optional<NodeId> d = index.lookup(profile.downloadDir);
        if (d && std::none_of(downloads.begin(), downloads.end(), [&](NodeId o) {
                return o == *d || index.isAncestor(o, *d) || index.isAncestor(*d, o);
            })) {
            downloads.push_back(*d);
        }
    }
    if (!downloads.empty()) {
        const std::uint32_t now32 = storedSeconds(now);
        const std::uint32_t cutoff = now32 > staleAge ? now32 - staleAge : 0;
        std::vector<NodeId> installers, stale;
        for (NodeId folder : downloads) {
            for (NodeId i : index.subtree(folder)) {
                const std::uint8_t k = index.kind(i);
                if ((k & Flag::kindMask) == 1 || (k & Flag::removed)) continue;
                const std::string e = ext(index, i);
                if (e == "dmg" || e == "pkg" || e == "iso" || e == "xip" || e == "mpkg" ||
                    (profile.onLinux && isLinuxPackageExt(e))) {
                    installers.push_back(i);
                } else if (index.mtime(i) < cutoff && index.size(i) >= staleSize) {
                    stale.push_back(i);
                }
            }
        }
        b.add("installers", "Installers in Downloads",
              "Disk images and packages. Once an app is installed, these are just luggage.",
              "opticaldiscdrive.fill", installers);
        b.add("stale", "Untouched downloads",
              "Big files in Downloads not modified in over three months.", "clock.fill", stale);
    }

    // Totals are fixed values of the records, so the comparator's answers cannot change.
    std::stable_sort(b.out.begin(), b.out.end(),
                     [](const Suggestion& x, const Suggestion& y) { return x.total > y.total; });
    return std::move(b.out);
}

std::uint64_t trashSize(const DiskIndex& index, const std::string& trashFolder) {
    if (!homeBase(trashFolder)) return 0;
    const std::optional<NodeId> n = index.lookup(trashFolder);
    return n ? index.size(*n) : 0;
}

std::uint64_t trashSize(const DiskIndex& index) {
    return trashSize(index, homeTrashDirectory());
}

}  // namespace tamrel
