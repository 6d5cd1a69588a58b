#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/RuleSet.h"
#include "core/index/DiskIndex.h"

namespace tamrel {

// The texts and small lists that the results screen derives from the model, as plain functions
// so that they are tested without painting.

// The crumbs of the path bar for `chain` (the ancestry from the root down to the current
// folder): every entry while the chain has fewer than 6, otherwise the root, an ellipsis marker
// (NONE) and the last 3 entries. Never more than 5.
std::vector<NodeId> pathCrumbs(std::span<const NodeId> chain);

// The root's display name: for "/" the name of the volume mounted there, or "Computer" when none
// names it; "Home" for the home folder; otherwise the last path component.
QString rootDisplayName(std::string_view rootPath, const std::optional<QString>& rootVolumeName,
                        std::string_view home);

// The word after "Find " in the search prompt: "" without an index, "anything" at the root,
// otherwise "in <name>".
QString searchScope(const DiskIndex* index, NodeId current);

// `path` told relative to `base`: the base is cut only at a "/" boundary ("/home/al" is not a
// prefix of "/home/alice"), and what is left is "/" when nothing is. Nothing when the path does
// not lie in the base (the caller then shows it absolute).
std::optional<std::string> belowBase(std::string_view path, std::string_view base);

// `path` with the home folder at its start written "~" ("/home/me/Downloads" -> "~/Downloads",
// "/home/me" -> "~"); a home folder elsewhere in the path, or a longer name, is left alone.
std::string tildeHome(std::string_view path, std::string_view home);

// "+ <n> more" for the entries of a list of `total` beyond the `shown` ones, the count in the
// user's locale; empty when there are none beyond.
QString moreFooter(qint64 total, qint64 shown);

// An integer for the user's current locale, with its grouping separators.
QString localeCount(qint64 n);

// The Trash confirmation's title: "Move 3 items (1.2 GB) to the Trash?" ("item" for exactly 1).
QString confirmTrashTitle(std::size_t count, std::uint64_t bytes);
// The basket tray's count line: "3 PICKED" (plain digits).
QString pickedLine(std::size_t count);

// The search results' title: "Nothing by that name" when a finished search found nothing, else
// the total in the user's locale and " found". While a search runs the total is the one the
// last search stored, so the title does not flicker with every keystroke.
QString searchTitle(bool hasResults, bool searching, qint64 total);
// "in 12.3 ms · biggest first · try ext:dmg size:>1gb mtime:>90d" (on Linux "ext:iso").
QString searchCaption(double seconds, RuleSet rules);
// The search field's count: the number of results held (at most 300), also while the next
// search runs.
QString searchCount(std::size_t results);
// The Biggest caption: "anywhere" at the root, else "in <name>".
QString biggestCaption(const DiskIndex& index, NodeId current);
// "read in 12.3s".
QString scanTimeText(double seconds);

// `ids` without those that do not belong to `index` or are gone (removed themselves or inside
// a removed folder), in their order.
std::vector<NodeId> presentNodes(const DiskIndex& index, std::span<const NodeId> ids);

}  // namespace tamrel
