#include "core/space/ProjectFolders.h"

namespace tamrel {

bool hasChildNamed(const DiskIndex& index, NodeId folder, std::string_view name) {
    for (NodeId c : index.children(folder)) {
        if (index.nameBytes(c) == name) return true;
    }
    return false;
}

bool besideChildNamed(const DiskIndex& index, NodeId folder, std::string_view name) {
    const std::optional<NodeId> parent = index.parentOf(folder);
    return parent && hasChildNamed(index, *parent, name);
}

bool outermostNamed(const DiskIndex& index, NodeId node, std::string_view name) {
    for (NodeId at = index.parent(node); at != NONE; at = index.parent(at)) {
        if (index.nameBytes(at) == name) return false;
    }
    return true;
}

bool isSuggestedBuildFolder(const DiskIndex& index, std::string_view name, NodeId folder) {
    if (name == ".build") return besideChildNamed(index, folder, "Package.swift");
    if (name == "target") return besideChildNamed(index, folder, "Cargo.toml");
    if (name == ".next" || name == ".turbo" || name == ".parcel-cache") {
        return besideChildNamed(index, folder, "package.json");
    }
    if (name == "Pods") return besideChildNamed(index, folder, "Podfile");
    if (name == ".venv" || name == "venv") return hasChildNamed(index, folder, "pyvenv.cfg");
    return false;
}

bool isProjectBuildFolder(const DiskIndex& index, std::string_view name, NodeId folder) {
    if (name == "node_modules") return outermostNamed(index, folder, name);
    if (name == ".nuxt" || name == ".svelte-kit" || name == ".angular") {
        return besideChildNamed(index, folder, "package.json");
    }
    if (name == ".gradle") {
        return besideChildNamed(index, folder, "build.gradle") ||
               besideChildNamed(index, folder, "build.gradle.kts");
    }
    if (name == "__pycache__" || name == ".pytest_cache" || name == ".mypy_cache" ||
        name == ".ruff_cache") {
        return true;
    }
    return isSuggestedBuildFolder(index, name, folder);
}

}  // namespace tamrel
