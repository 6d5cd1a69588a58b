#include "platform/FolderNames.h"

#include <dirent.h>

#include <algorithm>
#include <memory>
#include <string_view>

namespace tamrel {

namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

std::optional<std::vector<std::string>> folderNames(const std::string& folder) {
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string_view n = e->d_name;
        if (n != "." && n != "..") names.emplace_back(n);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace tamrel
