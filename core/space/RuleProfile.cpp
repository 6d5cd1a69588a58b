#include "core/space/RuleProfile.h"

#include <unistd.h>

#include <utility>

#include "core/space/HomeBase.h"
#include "platform/XdgDirs.h"

namespace tamrel {

RuleProfile RuleProfile::linuxDesktop(const std::string& home, std::string root) {
    RuleProfile p;
    p.onLinux = true;
    p.root = std::move(root);
    p.cacheHome = xdgBaseDir("XDG_CACHE_HOME", home, "/.cache");
    p.configHome = xdgBaseDir("XDG_CONFIG_HOME", home, "/.config");
    p.dataHome = xdgBaseDir("XDG_DATA_HOME", home, "/.local/share");
    p.stateHome = xdgBaseDir("XDG_STATE_HOME", home, "/.local/state");
    p.downloadDir = userDir("DOWNLOAD", home, p.configHome).value_or("");
    p.desktopDir = userDir("DESKTOP", home, p.configHome).value_or("");
    p.documentsDir = userDir("DOCUMENTS", home, p.configHome).value_or("");
    p.uid = static_cast<std::uint32_t>(::getuid());
    return p;
}

LinuxPaths::LinuxPaths(const RuleProfile& profile, std::string_view home)
    : profile_(profile), home_(homeBase(home)) {}

std::optional<std::string> LinuxPaths::base(std::string_view& rulePath) const {
    struct Xdg {
        std::string_view token;
        const std::string& given;
        std::string_view fallback;
    };
    const Xdg xdg[] = {
        {"%cache", profile_.cacheHome, "/.cache"},
        {"%config", profile_.configHome, "/.config"},
        {"%data", profile_.dataHome, "/.local/share"},
        {"%state", profile_.stateHome, "/.local/state"},
    };
    for (const Xdg& x : xdg) {
        if (!rulePath.starts_with(x.token)) continue;
        rulePath.remove_prefix(x.token.size());
        // A folder that holds the home folder (XDG_CACHE_HOME=$HOME) would offer the whole
        // home as one application's cache: the default stands in for it.
        if (std::optional<std::string> given = homeBase(x.given);
            given && !(home_ && (*home_ == *given || home_->starts_with(*given + "/")))) {
            return given;
        }
        if (!home_) return std::nullopt;
        return *home_ + std::string(x.fallback);
    }
    if (rulePath.starts_with('~')) {
        rulePath.remove_prefix(1);
        return home_;
    }
    return profile_.root;
}

std::optional<std::string> LinuxPaths::operator()(std::string_view rulePath) const {
    std::optional<std::string> path = base(rulePath);
    if (!path) return std::nullopt;
    constexpr std::string_view uid = "%uid";
    for (std::size_t at = rulePath.find(uid); at != std::string_view::npos;
         at = rulePath.find(uid)) {
        *path += rulePath.substr(0, at);
        *path += std::to_string(profile_.uid);
        rulePath.remove_prefix(at + uid.size());
    }
    *path += rulePath;
    return path;
}

std::vector<std::string> LinuxPaths::userFolders() const {
    std::vector<std::string> out;
    for (const std::string* dir :
         {&profile_.downloadDir, &profile_.desktopDir, &profile_.documentsDir}) {
        if (dir->starts_with('/') && *dir != "/") out.push_back(*dir);
    }
    return out;
}

std::vector<NodeId> lookupAll(const DiskIndex& index, std::string_view path) {
    const std::size_t star = path.find("/*");
    if (star == std::string_view::npos || (star + 2 < path.size() && path[star + 2] != '/')) {
        if (const std::optional<NodeId> n = index.lookup(path)) return {*n};
        return {};
    }
    std::vector<NodeId> out;
    const std::optional<NodeId> parent = index.lookup(path.substr(0, star));
    if (!parent) return out;
    const std::string_view rest = path.substr(star + 2);
    std::string below;
    for (NodeId c : index.children(*parent)) {
        if (!index.isDir(c) || index.isRemoved(c)) continue;
        if (rest.empty()) {
            out.push_back(c);
            continue;
        }
        below = index.path(c);
        below += rest;
        for (NodeId n : lookupAll(index, below))
            out.push_back(n);
    }
    return out;
}

std::set<std::string> withFolderAliases(std::set<std::string> running) {
    struct Alias {
        std::string_view process;
        std::string_view folder;
    };
    static constexpr Alias aliases[] = {
        {"chrome", "google-chrome"}, {"chromium", "chromium"},     {"chromium-browser", "chromium"},
        {"brave", "bravesoftware"},  {"msedge", "microsoft-edge"}, {"vivaldi-bin", "vivaldi"},
        {"firefox", "mozilla"},      {"firefox-bin", "mozilla"},   {"signal-desktop", "signal"},
    };
    for (const Alias& a : aliases) {
        if (running.contains(std::string(a.process))) running.emplace(a.folder);
    }
    return running;
}

std::optional<std::string> snapNameOfExecutable(std::string_view executablePath) {
    for (std::string_view prefix : {"/snap/", "/var/lib/snapd/snap/"}) {
        if (!executablePath.starts_with(prefix)) continue;
        const std::string_view rest = executablePath.substr(prefix.size());
        const std::size_t slash = rest.find('/');
        if (slash == 0 || slash == std::string_view::npos) return std::nullopt;
        const std::string_view name = rest.substr(0, slash);
        if (name == "bin" || name == "." || name == "..") return std::nullopt;
        return std::string(name);
    }
    return std::nullopt;
}

}  // namespace tamrel
