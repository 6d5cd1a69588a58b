#include "model/apps/AppRegistry.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "core/base/TextCase.h"
#include "model/apps/BundleInfo.h"
#include "platform/FolderNames.h"
#include "platform/XdgDirs.h"

namespace tamrel {

namespace {

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

AppRegistry::AppRegistry(std::string home, std::string systemRoot,
                         std::vector<std::string> entryFolders, std::vector<IdFolder> idFolders)
    : home_(std::move(home)),
      root_(std::move(systemRoot)),
      entryFolders_(std::move(entryFolders)),
      idFolders_(std::move(idFolders)) {}

std::vector<AppRegistry::IdFolder> AppRegistry::linuxIdFolders(
    const std::string& systemRoot, const std::string& dataHome,
    const std::vector<std::string>& dataDirs) {
    std::vector<std::string> installations = {systemRoot + "/var/lib/flatpak"};
    if (!dataHome.empty()) installations.push_back(dataHome + "/flatpak");
    const std::string confs = systemRoot + "/etc/flatpak/installations.d";
    for (const std::string& name : folderNames(confs).value_or(std::vector<std::string>{})) {
        if (!name.ends_with(".conf")) continue;
        std::ifstream in(confs + "/" + name);
        std::string line;
        while (std::getline(in, line)) {
            if (line.starts_with("Path=") && line.size() > 6 && line[5] == '/') {
                installations.push_back(systemRoot + line.substr(5));
            }
        }
    }
    std::vector<IdFolder> out;
    for (const std::string& i : installations)
        out.push_back({i + "/app", ""});
    std::vector<std::string> dirs;
    if (!dataHome.empty()) dirs.push_back(dataHome);
    dirs.insert(dirs.end(), dataDirs.begin(), dataDirs.end());
    for (const std::string& d : dirs) {
        out.push_back({d + "/dbus-1/services", ".service"});
        out.push_back({d + "/glib-2.0/schemas", ".gschema.xml"});
        out.push_back({d + "/metainfo", ".metainfo.xml"});
        out.push_back({d + "/metainfo", ".appdata.xml"});
        out.push_back({d + "/appdata", ".appdata.xml"});
    }
    return out;
}

bool AppRegistry::snapInstalled(std::string_view name) const {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) {
        return true;
    }
    bool snapd = false;
    for (const char* folder : {"/snap", "/var/lib/snapd/snap"}) {
        const std::string base = root_ + folder;
        if (!isFolder(base)) continue;
        snapd = true;
        struct stat st {};
        if (::lstat((base + "/" + std::string(name)).c_str(), &st) == 0) return true;
    }
    return !snapd;
}

AppRegistry AppRegistry::forCurrentUser() {
    std::vector<std::string> folders;
    std::vector<std::string> dataDirs;
    const std::string data = dataHome();
    if (!data.empty()) folders.push_back(data + "/applications");
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    const std::string list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t colon = list.find(':', start);
        if (colon == std::string::npos) colon = list.size();
        const std::string dir = list.substr(start, colon - start);
        if (dir.starts_with('/')) {
            folders.push_back(dir + "/applications");
            dataDirs.push_back(dir);
        }
        start = colon + 1;
    }
    return AppRegistry(homeDirectory(), "", std::move(folders), linuxIdFolders("", data, dataDirs));
}

std::optional<std::string> AppRegistry::applicationPath(std::string_view bundleID) {
    std::lock_guard hold(lock_);
    if (!loaded_ || staleLocked()) refreshLocked();
    const auto it = byID_.find(lowercase(bundleID));
    if (it == byID_.end()) return std::nullopt;
    return it->second;
}

bool AppRegistry::isInstalled(std::string_view bundleID) {
    std::lock_guard hold(lock_);
    if (!loaded_ || staleLocked()) refreshLocked();
    return !readable_ || byID_.contains(lowercase(bundleID));
}

void AppRegistry::watch(const std::string& folder) {
    Seen s{folder, {}, false};
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        s.present = true;
        s.mtime = st.st_mtim;
    }
    seen_.push_back(std::move(s));
}

bool AppRegistry::staleLocked() const {
    for (const Seen& s : seen_) {
        if (s.present && s.mtime.tv_sec + 1 >= readAt_.tv_sec) return true;
        struct stat st {};
        const bool present = ::stat(s.folder.c_str(), &st) == 0;
        if (present != s.present) return true;
        if (present &&
            (st.st_mtim.tv_sec != s.mtime.tv_sec || st.st_mtim.tv_nsec != s.mtime.tv_nsec)) {
            return true;
        }
    }
    return false;
}

void AppRegistry::refreshLocked() {
    byID_.clear();
    seen_.clear();
    readable_ = false;
    ::clock_gettime(CLOCK_REALTIME, &readAt_);
    for (const std::string& folder : {root_ + "/Applications", home_ + "/Applications"}) {
        watch(folder);
        addBundles(folder, 1);
    }
    for (const std::string& folder : entryFolders_) {
        watch(folder);
        addEntries(folder, "");
    }
    for (const IdFolder& folder : idFolders_) {
        watch(folder.folder);
        addIds(folder);
    }
    loaded_ = true;
}

void AppRegistry::addBundles(const std::string& folder, int depth) {
    const auto names = folderNames(folder);
    if (!names) return;
    readable_ = true;
    for (const std::string& name : *names) {
        const std::string path = folder + "/" + name;
        if (!isFolder(path)) continue;
        if (name.ends_with(".app")) {
            const auto info = BundleInfo::open(path);
            if (const auto id = info ? info->identifier() : std::nullopt) {
                byID_.emplace(lowercase(*id), path);
            }
        } else if (depth < 3) {
            watch(path);
            addBundles(path, depth + 1);
        }
    }
}

void AppRegistry::addIds(const IdFolder& folder) {
    const auto names = folderNames(folder.folder);
    if (!names) return;
    readable_ = true;
    for (const std::string& name : *names) {
        if (folder.suffix.empty()) {
            const std::string path = folder.folder + "/" + name;
            if (isFolder(path)) byID_.emplace(lowercase(name), path);
        } else if (name.size() > folder.suffix.size() && name.ends_with(folder.suffix)) {
            byID_.emplace(lowercase(name.substr(0, name.size() - folder.suffix.size())),
                          folder.folder + "/" + name);
        }
    }
}

void AppRegistry::addEntries(const std::string& folder, const std::string& idPrefix) {
    const auto names = folderNames(folder);
    if (!names) return;
    readable_ = true;
    for (const std::string& name : *names) {
        const std::string path = folder + "/" + name;
        if (isFolder(path)) {
            watch(path);
            addEntries(path, idPrefix + name + "-");
        } else if (name.ends_with(".desktop") && name.size() > 8) {
            byID_.emplace(lowercase(idPrefix + name.substr(0, name.size() - 8)), path);
        }
    }
}

}  // namespace tamrel
