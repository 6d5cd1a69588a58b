#pragma once

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/apps/Leftover.h"
#include "core/base/RuleSet.h"
#include "core/index/DiskIndex.h"
#include "core/space/CleanPlan.h"
#include "core/space/SystemData.h"
#include "model/app/AppValues.h"
#include "model/apps/InstalledApp.h"

namespace tamrel {

// What the System Data, Clean up and Apps screens show, as plain functions so that texts,
// geometry and colours are tested without painting. Main thread or any thread: none keeps state.
// Texts that differ between the designed rules and Linux take the RuleSet the window runs with
// (AppModel::ruleSet()); the Linux words stand beside the designed ones in ToolsText.cpp.

// --- System Data

// The colour of a bucket id, 0xRRGGBB; 0xBDB8AE for an id the table does not hold.
std::uint32_t bucketHex(std::string_view id);

// An advice badge: its label and colours. The same two judgements mark the clean-up groups.
struct AdviceLook {
    QString label;
    QColor text;
    QColor fill;
};
AdviceLook adviceLook(SpaceBucket::Advice advice);
AdviceLook riskLook(CleanGroup::Risk risk);
// The review text colour, also the colour of the notes beside clean-up items.
QColor reviewInk();

// One segment of the summary bar.
struct BarSegment {
    std::string id;
    QString title;
    std::uint64_t bytes = 0;
    std::uint32_t hex = 0;
};
// The buckets in report order, then purgeable and the unseen space when not zero ("Not visible
// to apps"; on Linux "Not in a readable folder").
std::vector<BarSegment> barSegments(const SystemDataReport& report, RuleSet rules);
// The line under the summary's title.
QString summaryLine(RuleSet rules);
// max(sum of the segments' bytes, 1).
std::uint64_t barTotal(const std::vector<BarSegment>& segments);
// The segments' widths in a bar `width` wide, kBarSegmentGap apart: max((W − 2n) × bytes /
// total, 4) each.
inline constexpr double kBarSegmentGap = 2;
std::vector<double> barWidths(const std::vector<BarSegment>& segments, double width);
// "Caches · 1.2 GB".
QString segmentTip(const BarSegment& segment);
// The note over the grid when the index is not of "/": "You're looking inside <name>. Open
// <rootName> in the sidebar for the whole picture.", where rootName is what the sidebar calls
// "/" (its label, else "Computer"); nothing for "/".
std::optional<QString> folderNote(std::string_view rootPath,
                                  const QString& rootName = QStringLiteral("Computer"));
// The name the sidebar gives "/": the label of that volume, else "Computer".
QString rootVolumeName(const std::vector<Volume>& volumes);
// Columns of a grid `width` wide whose cells are at least `minWidth` wide and `spacing` apart
// (at least 1).
int gridColumns(double width, double minWidth, double spacing);
// The name a bucket card shows for a node: the system's cryptic folders explained (on Linux
// also the journal, kernel modules, the startup partition and the Flatpak and snap stores).
QString friendlyName(const DiskIndex& index, NodeId node, RuleSet rules);
// Whether `name` is a UUID in its standard 8-4-4-4-12 form, either case.
bool isUuid(const QString& name);

// One row of the card of space no app can see.
struct HiddenRow {
    QString symbol;
    QString title;
    QString value;
    QString text;
};
// Purgeable and snapshots always (never on Linux, where both are always 0); unseen when not 0;
// the unreadable folders when at least 1. The card is left out when there is no row.
std::vector<HiddenRow> hiddenRows(const SystemDataReport& report, RuleSet rules);
// "Space no app can see"; on Linux "Space Tamrel can't see".
QString hiddenCardTitle(RuleSet rules);

// What a bucket card's "Clean these up" key promises. The key is there only for a safe bucket
// whose shown items (its first four) the clean-up plan holds at least one of (the item, a
// folder around it or something inside it); `note` says which shown item the plan leaves out
// and why (the Trash, the system's package caches...), or is empty when it leaves none out.
// `plan` must belong to `index`.
struct CleanKeyLook {
    bool key = false;
    QString note;
};
CleanKeyLook cleanKeyLook(const DiskIndex& index, const SpaceBucket& bucket,
                          const std::vector<CleanGroup>& plan, std::string_view home,
                          RuleSet rules);
// The item lines a bucket card shows.
inline constexpr std::size_t kBucketItemLines = 4;

// --- Clean up

// The colour of a plan group id; 0xBDB8AE for an id the table does not hold.
std::uint32_t groupHex(std::string_view id);
// "Move 3 items (1.2 GB) to the Trash?" (the singular only for 1).
QString cleanConfirmTitle(std::size_t count, std::uint64_t bytes);
// "1.2 GB found. Everything goes to the Trash, and apps you're using are left alone."
QString cleanFoundLine(std::uint64_t found);
// The Trash note when the Trash holds more than 1 MiB, else nothing.
std::optional<QString> trashNote(std::uint64_t trashSize);
// "of 1.2 GB · 3/7".
QString groupCountLine(std::uint64_t total, std::size_t picked, std::size_t count);
// "+ 50 more, included in the group tick" for a group of more than 200 items, else empty.
QString groupMoreLine(std::size_t count);
// The most item rows a group shows.
inline constexpr std::size_t kGroupRowLimit = 200;
// The parent folder line of a node: its parent's path with the home folder written "~"
// wherever it occurs; empty for the root.
QString parentLine(const DiskIndex& index, NodeId node, std::string_view home);

// --- Apps

// "Used 3 days ago" or "Never opened"; empty when the last use is not known (an AppImage on a
// file system that records no access times).
QString appUseLine(const InstalledApp& app, const QDateTime& now);
// "+12 MB data" when the leftovers hold more than 1 MiB, else empty.
QString appDataLine(const InstalledApp& app);
// "Uninstall <name>?" or "Uninstall this app?".
QString uninstallTitle(const InstalledApp* app);
// The confirmation's sentences (empty without an application).
QString uninstallMessage(const InstalledApp* app, std::size_t pickedCount, bool running,
                         bool pickedSystem);
// "12 MB in 3 places" (the singular only for 1).
QString leftoverFact(const InstalledApp& app);
// "3 days ago", or "Never"; empty when the last use is not known (the fact is not shown).
QString lastUsedFact(const InstalledApp& app, const QDateTime& now);
// The identity line (the version when not empty, "·", the bundle identifier) laid out in `width` with `font`: its pieces (version, middle dot, bundle
// identifier) 6 apart from `x` 0, each with its left edge; only the identifier gives way, cut
// in the middle, when the line is too long.
struct IdentityPiece {
    QString text;
    double x = 0;
};
std::vector<IdentityPiece> identityPieces(const InstalledApp& app, const QFont& font, double width);
// The footer note: who goes where, or that the application will be asked to quit.
QString detailFootnote(const InstalledApp& app, bool running);
// The leftovers of one kind, in the application's order, for every kind that has some, in the
// kinds' declaration order.
struct KindGroup {
    Leftover::Kind kind;
    std::vector<const Leftover*> items;
};
std::vector<KindGroup> leftoverGroups(const InstalledApp& app);
// The label of a kind of leftover, as Linux shows it (Leftover::linuxLabel).
QString kindLabel(Leftover::Kind kind);
// The detail area's text while no application is shown: the loading line while `loading`, the
// empty state when the inventory of the shown index holds no application (`noApps`), else
// "Pick an app".
QString appsPlaceholder(bool loading, bool noApps);
// The entries of the sort menu: every order but "Last used" when no application's last use is
// known, unless it is the `current` order.
std::vector<AppSort> offeredAppSorts(const std::vector<InstalledApp>& apps, AppSort current);

}  // namespace tamrel
