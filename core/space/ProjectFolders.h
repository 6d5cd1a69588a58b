#pragma once

#include <string_view>

#include "core/index/DiskIndex.h"

namespace tamrel {

// Recognising the dependency and build folders of projects by name and by a marker file beside
// them. Names are compared byte for byte, letter case included. Each test only reads the index
// and is safe to call from many threads at once.

// Some child of `folder` (any kind, removed ones included) is named exactly `name`.
bool hasChildNamed(const DiskIndex& index, NodeId folder, std::string_view name);

// The parent of `folder` has a child named `name`; false for a node without a parent.
bool besideChildNamed(const DiskIndex& index, NodeId folder, std::string_view name);

// No ancestor of `node` (from its parent up to the root) is named `name`.
bool outermostNamed(const DiskIndex& index, NodeId node, std::string_view name);

// The build folders the suggestions list: ".build" beside "Package.swift", "target" beside
// "Cargo.toml", ".next", ".turbo" and ".parcel-cache" beside "package.json", "Pods" beside
// "Podfile", ".venv" and "venv" holding "pyvenv.cfg".
bool isSuggestedBuildFolder(const DiskIndex& index, std::string_view name, NodeId folder);

// The project folders the clean-up plan offers: the outermost "node_modules", the build
// folders above plus ".nuxt", ".svelte-kit" and ".angular" beside "package.json", ".gradle"
// beside "build.gradle" or "build.gradle.kts", and the Python caches "__pycache__",
// ".pytest_cache", ".mypy_cache" and ".ruff_cache" anywhere.
bool isProjectBuildFolder(const DiskIndex& index, std::string_view name, NodeId folder);

}  // namespace tamrel
