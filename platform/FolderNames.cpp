#include "platform/FolderNames.h"

#include <algorithm>
#include <string_view>

#include "platform/DirHandle.h"

namespace tamrel {

std::optional<std::vector<std::string>> folderNames(const std::string& folder) {
    DirHandle dir(::opendir(folder.c_str()));
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
