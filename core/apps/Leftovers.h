#pragma once

#include <string_view>
#include <vector>

#include "core/apps/AppIdentity.h"
#include "core/index/DiskIndex.h"
#include "core/apps/Leftover.h"

namespace tamrel {

// Both searches read the index only (names, children, ranges, kind bytes, sizes); nothing touches
// the disk. `home` is the user's home folder without a trailing "/". The system-wide folders
// ("/Applications", "/Library/...") are looked up below `systemRoot`, which is empty for the real
// ones; a test points it at a temporary tree. A folder the index does not hold contributes
// nothing; neither search fails.
//
// Thread safety: safe on any thread while the index lives; a concurrent markRemoved() may or may
// not be seen.

// The application bundles: ".app" folders at most three levels below systemRoot +
// "/Applications", then below home + "/Applications", each in depth-first index order. A bundle
// is never entered, so bundles nested in another are not listed; removed folders are skipped.
std::vector<NodeId> appBundles(const DiskIndex& index, std::string_view home,
                               std::string_view systemRoot = {});

// The items that the application described by `app` keeps outside its bundle, found by bundle
// identifier, name and team in the user's Library, a few home folders, `app.extraPaths` and the
// system Library; each node listed once, none inside another, none already removed (itself or an
// ancestor). Largest first; equal sizes keep the order the rules found them in. Absolute entries
// of extraPaths are taken below `systemRoot`, "~" entries below home.
std::vector<Leftover> leftovers(const DiskIndex& index, const AppIdentity& app,
                                std::string_view home, std::string_view systemRoot = {});

}  // namespace tamrel
