#pragma once

#include <dirent.h>

#include <memory>

namespace tamrel {

// A folder stream of opendir() or fdopendir(), closed (with its descriptor) when it goes.
struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

}  // namespace tamrel
