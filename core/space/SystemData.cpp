#include "core/space/SystemData.h"

#include <algorithm>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <utility>

#include "core/base/LargestFirst.h"
#include "core/space/HomeBase.h"

namespace tamrel {

namespace {

using Advice = SpaceBucket::Advice;

struct Rule {
    std::string_view id;
    std::string_view title;
    std::string_view blurb;
    std::string_view symbol;
    Advice advice;
    // A path beginning with "~" is home-based: the home folder text followed by the rest.
    std::vector<std::string_view> paths;
    // The texts the Linux profile shows, where the designed ones name what Linux lacks or say
    // what is false there; empty: the designed text.
    std::string_view linuxTitle = {};
    std::string_view linuxBlurb = {};
    // A row with no Linux folder that names another platform's devices: left out on Linux.
    bool designedOnly = false;
};

const std::vector<Rule>& ruleTable() {
    static const std::vector<Rule> rules = {
        {"caches",
         "Caches",
         "Copies apps keep to load faster. They come back as needed, so clearing them is safe.",
         "sparkles",
         Advice::safe,
         {"~/Library/Caches", "/Library/Caches", "/System/Library/Caches"}},
        {"logs",
         "Logs & diagnostics",
         "Records apps and the system write about what they did. Rarely needed once they're old.",
         "doc.text.magnifyingglass",
         Advice::safe,
         {"~/Library/Logs", "/Library/Logs", "/private/var/log", "/private/var/db/diagnostics",
          "/private/var/db/uuidtext"}},
        {"temp",
         "Temporary files",
         "Scratch space apps use while running. The system clears most of it when you restart.",
         "clock.arrow.circlepath",
         Advice::system,
         {"/private/var/folders", "/private/tmp"},
         {},
         "Scratch space apps use while running. Most of /tmp goes at restart; /var/tmp keeps "
         "files longer."},
        {"trash",
         "Trash",
         "Things you already deleted. The space comes back when you empty the Trash.",
         "trash.fill",
         Advice::safe,
         {"~/.Trash"}},
        {"ios",
         "iPhone & iPad backups",
         "Full copies of your devices made by the file manager. Old ones are often forgotten.",
         "iphone",
         Advice::review,
         {"~/Library/Application Support/MobileSync/Backup"},
         {},
         {},
         true},
        {"dev",
         "Developer data",
         "Xcode builds, simulators and package caches. Tools rebuild most of it on demand.",
         "hammer.fill",
         Advice::review,
         {"~/Library/Developer", "/Library/Developer", "~/.npm", "~/.cache", "~/.gradle",
          "~/.cargo", "~/.m2", "~/.rustup", "~/go/pkg", "~/.bun", "~/Library/pnpm", "~/.pub-cache",
          "~/.cocoapods"},
         {},
         "Caches of pip, npm, Cargo, Gradle and Go, plus SDKs and emulators. Tools fetch most of "
         "it again."},
        {"ai",
         "AI models",
         "Downloaded language and image models. Large, and easy to download again.",
         "brain.head.profile",
         Advice::review,
         {"~/.ollama", "~/.cache/huggingface", "~/.cache/lm-studio", "~/.lmstudio",
          "~/Library/Application Support/LM Studio", "~/Library/Containers/com.apple.mlhost"}},
        {"vm",
         "Virtual machines & containers",
         "Disk images for Docker, OrbStack, Parallels and UTM. Often tens of GB.",
         "shippingbox.fill",
         Advice::review,
         {"~/Library/Containers/com.docker.docker", "~/.docker", "~/.orbstack",
          "~/Library/Group Containers/HUAQ24HBR6.dev.orbstack", "~/Parallels",
          "~/Library/Containers/com.utmapp.UTM", "~/.colima", "~/.lima"},
         {},
         "Disk images for Docker, Podman, libvirt, GNOME Boxes and VirtualBox. Often tens of GB."},
        {"mail",
         "Mail & Messages",
         "Downloaded email and chat attachments, stored locally.",
         "envelope.fill",
         Advice::review,
         {"~/Library/Mail", "~/Library/Messages", "~/Library/Containers/com.apple.mail"},
         "Mail & chats"},
        {"appdata",
         "App data",
         "Settings, databases and downloads that belong to your apps. Big ones are worth a "
         "look.",
         "square.stack.3d.up.fill",
         Advice::review,
         {"~/Library/Application Support", "~/Library/Containers", "~/Library/Group Containers",
          "/Library/Application Support"}},
        {"swap",
         "Memory swap & sleep image",
         "The system uses the disk as extra memory. It shrinks on its own after a restart.",
         "memorychip.fill",
         Advice::system,
         {"/System/Volumes/VM", "/private/var/vm"},
         "Swap file",
         "The system uses this file as extra memory. It keeps its size until you change it."},
        {"macos",
         "System support files",
         "Startup, recovery and update files the system keeps on a separate volume. Not yours "
         "to remove.",
         "apple.logo",
         Advice::system,
         {"/System/Volumes/Preboot", "/System/Volumes/Update", "/System/Volumes/iSCPreboot",
          "/System/Volumes/xarts", "/System/Volumes/Hardware", "/Library/Updates",
          "/private/var/db"},
         {},
         "Kernels, startup files and system state, Flatpak and Snap stores included. Not yours "
         "to remove."},
    };
    return rules;
}

// A Linux rule path (see LinuxPaths); `file` paths name a plain file (a swap file), not a folder.
struct LinuxPath {
    std::string_view path;
    bool file = false;
};

// The Linux folders beside each designed row, in row order; appended after the row's own paths,
// so a folder named by two rows still belongs to the earlier row and every byte still goes to
// the innermost rule folder that holds it. "%cache" (the XDG cache home) is all applications'
// caches on Linux, so it belongs to "caches", which takes it before "dev" names "~/.cache";
// the developer caches inside it are named by "dev" and keep their own bytes.
const std::vector<std::vector<LinuxPath>>& linuxAdditions() {
    static const std::vector<std::vector<LinuxPath>> rows = {
        // caches
        {{"%cache"}, {"/var/cache"}, {"~/.var/app/*/cache"}, {"~/snap/*/common/.cache"}},
        // logs: the journal lives in /var/log; crash reports and core dumps
        {{"/var/log"},
         {"/var/crash"},
         {"/var/lib/systemd/coredump"},
         {"/var/lib/apport/coredump"},
         {"/var/spool/abrt"},
         {"%data/xorg"}},
        // temp
        {{"/tmp"}, {"/var/tmp"}},
        // trash: the trashed items first, so the top list shows them
        {{"%data/Trash/files"}, {"%data/Trash"}, {"/.Trash-%uid"}},
        // ios: no standard place on Linux
        {},
        // dev
        {{"%data/pnpm"},
         {"~/.yarn"},
         {"~/.nuget"},
         {"~/.ccache"},
         {"~/.nvm"},
         {"~/.pyenv"},
         {"~/.sdkman"},
         {"%data/mise"},
         {"~/.android"},
         {"~/Android/Sdk"},
         {"%cache/pip"},
         {"%cache/uv"},
         {"%cache/yarn"},
         {"%cache/pnpm"},
         {"%cache/go-build"},
         {"%cache/node-gyp"},
         {"%cache/composer"},
         {"%cache/ccache"},
         {"%cache/sccache"},
         {"%cache/bazel"},
         {"%cache/pypoetry"},
         {"%cache/JetBrains"},
         {"%cache/ms-playwright"},
         {"%cache/Cypress"},
         {"%cache/electron"},
         {"%cache/deno"}},
        // ai
        {{"%cache/huggingface"},
         {"%cache/lm-studio"},
         {"%config/LM Studio"},
         {"%cache/torch"},
         {"%cache/whisper"},
         {"%cache/llama.cpp"},
         {"%data/nomic.ai"},
         {"/usr/share/ollama/.ollama"},
         {"/var/lib/ollama"}},
        // vm
        {{"/var/lib/docker"},
         {"%data/docker"},
         {"/var/lib/containers"},
         {"%data/containers"},
         {"/var/lib/containerd"},
         {"/var/lib/libvirt/images"},
         {"%data/libvirt/images"},
         {"%data/gnome-boxes"},
         {"~/.var/app/org.gnome.Boxes/data/gnome-boxes"},
         {"~/VirtualBox VMs"},
         {"~/vmware"},
         {"~/.vagrant.d"},
         {"/var/lib/lxd"},
         {"/var/snap/lxd/common/lxd"},
         {"/var/lib/incus"}},
        // mail
        {{"~/.thunderbird"},
         {"~/.var/app/org.mozilla.Thunderbird/.thunderbird"},
         {"~/snap/thunderbird/common/.thunderbird"},
         {"%data/evolution"},
         {"%cache/evolution"},
         {"%data/geary"},
         {"%data/local-mail"},
         {"%data/akonadi"},
         {"~/Maildir"},
         {"/var/mail"},
         {"/var/spool/mail"},
         {"%config/Signal"},
         {"%data/TelegramDesktop"}},
        // appdata
        {{"%data"},
         {"%config"},
         {"%state"},
         {"~/.var/app"},
         {"~/snap"},
         {"~/.mozilla"},
         {"/var/snap"}},
        // swap: swap partitions and zram are not files and hold nothing to show
        {{"/swap"}, {"/swapfile", true}, {"/swap.img", true}, {"/var/swap", true}},
        // system support files: kernels, initramfs, the EFI partition, one module tree per
        // kernel, system state (the Flatpak and snap stores included)
        {{"/boot"}, {"/efi"}, {"/usr/lib/modules"}, {"/var/lib"}},
    };
    return rows;
}

struct Kept {
    std::size_t rule;
    NodeId node;
    std::uint64_t size;  // read once, under the lock
};

}  // namespace

std::string_view rawValue(SpaceBucket::Advice advice) {
    switch (advice) {
        case Advice::safe:
            return "safe";
        case Advice::review:
            return "review";
        case Advice::system:
            return "system";
    }
    return "safe";
}

std::optional<SpaceBucket::Advice> adviceFromRaw(std::string_view raw) {
    for (Advice a : {Advice::safe, Advice::review, Advice::system}) {
        if (rawValue(a) == raw) return a;
    }
    return std::nullopt;
}

std::uint64_t SystemDataReport::explained() const {
    std::uint64_t sum = 0;
    for (const SpaceBucket& b : buckets)
        sum += b.bytes;
    return sum;
}

SystemDataReport systemData(const DiskIndex& index, std::string_view home, const VolumeFacts& facts,
                            const RuleProfile& profile) {
    std::shared_lock guard(index.lock());
    const std::optional<std::string> base = homeBase(home);
    const std::vector<Rule>& rules = ruleTable();
    const LinuxPaths places(profile, home);

    // Candidates: rule folders present as folders and not gone; a folder named by two rows
    // belongs to the earlier one.
    std::vector<Kept> kept;
    auto isKept = [&](NodeId n) {
        return std::any_of(kept.begin(), kept.end(), [&](const Kept& k) { return k.node == n; });
    };
    std::string path;
    for (std::size_t r = 0; r < rules.size(); ++r) {
        if (profile.onLinux && rules[r].designedOnly) continue;
        for (std::string_view p : rules[r].paths) {
            if (p.front() == '~') {
                if (!base) continue;
                path = *base;
                path += p.substr(1);
            } else {
                path = p;
            }
            const std::optional<NodeId> id = index.lookup(path);
            if (!id || !index.isDir(*id) || index.isGone(*id) || isKept(*id)) continue;
            kept.push_back({r, *id, index.size(*id)});
        }
        if (!profile.onLinux) continue;
        for (const LinuxPath& p : linuxAdditions()[r]) {
            const std::optional<std::string> at = places(p.path);
            if (!at) continue;
            for (NodeId id : lookupAll(index, *at)) {
                const bool shape = p.file ? index.isFile(id) : index.isDir(id);
                if (!shape || index.isGone(id) || isKept(id)) continue;
                kept.push_back({r, id, index.size(id)});
            }
        }
    }

    // Each kept folder's holder: the innermost other kept folder it lies in. Its bytes are
    // counted there, not in the holder, so every byte is counted once, in the innermost kept
    // folder that holds it.
    std::vector<std::optional<std::size_t>> holder(kept.size());
    for (std::size_t m = 0; m < kept.size(); ++m) {
        for (std::size_t a = 0; a < kept.size(); ++a) {
            if (a == m || !index.subtree(kept[a].node).contains(kept[m].node)) continue;
            if (!holder[m] || index.subtree(kept[*holder[m]].node).contains(kept[a].node))
                holder[m] = a;
        }
    }
    // Own bytes: each folder less the kept folders it holds. The children of a kept folder are
    // its bucket's items; each is shown net of the kept folders inside it too (an application's
    // folder in the app data less its cache folder counted as a cache), so no item is larger
    // than its bucket.
    std::vector<std::uint64_t> own(kept.size());
    for (std::size_t a = 0; a < kept.size(); ++a)
        own[a] = kept[a].size;
    std::unordered_map<NodeId, std::uint64_t> nested;  // by child of a holder
    for (std::size_t m = 0; m < kept.size(); ++m) {
        if (!holder[m]) continue;
        const std::size_t a = *holder[m];
        const std::uint64_t size = kept[m].size;
        own[a] = own[a] > size ? own[a] - size : 0;
        NodeId child = kept[m].node;
        while (index.parent(child) != kept[a].node)
            child = index.parent(child);
        nested[child] += size;
    }

    SystemDataReport report;
    for (std::size_t r = 0; r < rules.size(); ++r) {
        SpaceBucket bucket;
        std::vector<std::pair<std::uint64_t, std::pair<NodeId, std::uint64_t>>> candidates;
        for (std::size_t k = 0; k < kept.size(); ++k) {
            if (kept[k].rule != r) continue;
            bucket.roots.push_back(kept[k].node);
            bucket.bytes += own[k];
            for (NodeId c : index.children(kept[k].node)) {
                if (index.isRemoved(c) || isKept(c)) continue;
                std::uint64_t size = index.size(c);
                if (const auto inside = nested.find(c); inside != nested.end())
                    size = size > inside->second ? size - inside->second : 0;
                if (size > 0) candidates.push_back({size, {c, size}});
            }
        }
        if (bucket.roots.empty() || bucket.bytes == 0) continue;
        std::vector<std::pair<NodeId, std::uint64_t>> top = largestFirst(std::move(candidates));
        if (top.size() > 6) top.resize(6);
        for (const auto& [node, size] : top) {
            bucket.top.push_back(node);
            bucket.topBytes.push_back(size);
        }
        const Rule& rule = rules[r];
        const bool onLinux = profile.onLinux;
        bucket.id = rule.id;
        bucket.title = onLinux && !rule.linuxTitle.empty() ? rule.linuxTitle : rule.title;
        bucket.blurb = onLinux && !rule.linuxBlurb.empty() ? rule.linuxBlurb : rule.blurb;
        bucket.symbol = rule.symbol;
        bucket.advice = rule.advice;
        report.buckets.push_back(std::move(bucket));
    }
    std::stable_sort(report.buckets.begin(), report.buckets.end(),
                     [](const SpaceBucket& x, const SpaceBucket& y) { return x.bytes > y.bytes; });

    report.used = facts.used;
    report.purgeable = facts.purgeable;
    report.snapshots = facts.snapshots;
    if (index.rootPath() == "/") {
        const std::uint64_t seen = index.size(0);
        report.unseen = facts.used > seen ? facts.used - seen : 0;
    }
    for (NodeId i = 0; i < index.count(); ++i) {
        if (index.kind(i) & Flag::denied) ++report.unreadable;
    }
    return report;
}

}  // namespace tamrel
