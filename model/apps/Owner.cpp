#include "model/apps/Owner.h"

#include <sys/stat.h>

#include <vector>

#include "core/base/TextCase.h"
#include "platform/PathText.h"
#include "platform/XdgDirs.h"

namespace tamrel {

namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

Owner::Owner(Platform& platform, std::string home, std::string systemRoot)
    : platform_(platform), home_(std::move(home)), root_(std::move(systemRoot)) {}

Owner& Owner::shared() {
    static Owner owner(Platform::system(), homeDirectory());
    return owner;
}

const std::map<std::string, std::string>& Owner::aliases() {
    static const std::map<std::string, std::string> table = {
        {"code", "com.microsoft.VSCode"},
        {".vscode", "com.microsoft.VSCode"},
        {".cursor", "com.todesktop.230313mzl4w4u92"},
        {".claude", "com.anthropic.claudefordesktop"},
        {"com.anthropic.shipit", "com.anthropic.claudefordesktop"},
        {"google", "com.google.Chrome"},
        {"github desktop", "com.github.GitHubClient"},
        {"com.github.githubclient.shipit", "com.github.GitHubClient"},
    };
    return table;
}

const std::set<std::string>& Owner::ownedUnder() {
    static const std::set<std::string> folders = {
        "Caches",    "Application Support", "Containers", "Group Containers",
        "Logs",      "HTTPStorages",        "WebKit",     "Saved Application State",
        "Developer",
    };
    return folders;
}

std::optional<std::string> Owner::app(const std::string& path) {
    if (const auto it = cache_.find(path); it != cache_.end()) {
        if (it->second.empty()) return std::nullopt;
        return it->second;
    }
    auto found = resolve(path);
    cache_.emplace(path, found.value_or(""));
    return found;
}

std::optional<std::string> Owner::resolve(const std::string& path) {
    const auto parts = pathComponents(path);
    std::vector<std::string> candidates;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].starts_with('.')) candidates.push_back(parts[i]);
        if (i > 0 && ownedUnder().contains(parts[i - 1])) candidates.push_back(parts[i]);
    }
    for (const std::string& name : candidates) {
        if (auto found = lookup(name)) return found;
    }
    return std::nullopt;
}

std::optional<std::string> Owner::lookup(const std::string& name) {
    if (const auto alias = aliases().find(lowercase(name)); alias != aliases().end()) {
        if (auto found = platform_.applicationPath(alias->second)) return found;
    }
    std::vector<std::string> ids = {name};
    // A team-prefixed group container: ten characters, a dot, then the identifier.
    if (const std::size_t dot = name.find('.');
        dot != std::string::npos && graphemeCount(std::string_view(name).substr(0, dot)) == 10) {
        ids.push_back(name.substr(dot + 1));
    }
    for (const std::string& id : ids) {
        if (id.find('.') == std::string::npos) continue;
        if (auto found = platform_.applicationPath(id)) return found;
    }
    for (const std::string& folder : {root_ + "/Applications/", home_ + "/Applications/"}) {
        const std::string bundle = folder + name + ".app";
        if (exists(bundle)) return bundle;
    }
    return std::nullopt;
}

}  // namespace tamrel
