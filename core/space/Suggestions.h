#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/space/RuleProfile.h"

namespace tamrel {

// One rule-based list of large, re-creatable items.
struct Suggestion {
    std::string id;
    std::string title;
    std::string blurb;
    std::string symbol;
    std::vector<NodeId> nodes;  // largest first
    std::uint64_t total = 0;    // the sum of the sizes of nodes; never 0

    friend bool operator==(const Suggestion&, const Suggestion&) = default;
};

// The test of the folder-name scan: (name, node id). Called from several threads at once and in
// no fixed order, so it must only read (the index, and what it captured when it was made).
using FolderTest = std::function<bool(std::string_view name, NodeId id)>;

// The folders whose name and id pass `test`, in ascending id order (a folder before every folder
// inside it). Only folders whose name begins with ".", "P", "_", "n", "t" or "v" are offered —
// every name the rules look for — so most nodes are decided by a byte of the kind and one of
// the name. Removed folders are offered too; the root never is. Names are passed as UTF-8 with
// invalid bytes repaired. Splits the ids into 64 chunks on the shared compute pool.
//
// Thread safety: takes no lock (it reads kinds and names, never sizes).
std::vector<NodeId> dirsNamed(const DiskIndex& index, const FolderTest& test);

// The seven suggestions ("xcode", "node", "build", "caches", "pkg", "installers", "stale") for
// the user whose home folder is `home`, items of at least `minSize` bytes, largest total first;
// a suggestion without bytes is left out. "Untouched downloads" are those older than 90 days
// before `now`. Home-based lists are empty when home is empty, relative or "/". With a Linux
// `profile`, the app caches also hold the children of the XDG cache home; the package caches
// name the package-manager folders inside it (pip, uv, yarn, go-build, composer, node-gyp)
// instead of the whole folder, plus pnpm's store, Yarn Berry's cache, NuGet's packages and Go's
// module cache; installers also count ".deb", ".rpm", ".flatpak" and ".snap" files, and the
// download folder of user-dirs.dirs is looked at besides "/Downloads". (".AppImage" is the
// program itself, never an installer.)
//
// Thread safety: holds index.lock() shared for the whole pass; must not be called while the
// caller holds that lock.
std::vector<Suggestion> suggestions(
    const DiskIndex& index, std::string_view home, std::uint64_t minSize,
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now(),
    const RuleProfile& profile = {});

// The package files of Linux distributions and bundle formats: "deb", "rpm", "flatpak", "snap"
// (a lowercased extension).
bool isLinuxPackageExt(std::string_view e);

// The size of the node at `trashFolder`, 0 when the index holds no such node or the folder text
// is empty, relative or "/". One size read; no lock needed.
std::uint64_t trashSize(const DiskIndex& index, const std::string& trashFolder);

// The size of the user's Trash, homeTrashDirectory() ($XDG_DATA_HOME/Trash), in the index.
std::uint64_t trashSize(const DiskIndex& index);

}  // namespace tamrel
