#pragma once

#include "ui/theme/Glyph.h"
#include "ui/tools/ToolsMetrics.h"

// The sizes of the System Data screen, in points: the summary card, a note, the grid of bucket
// cards and the card of space no app can see.

namespace tamrel {

// The summary: the total at 34 points (tracking −1), the titles 8 before it; the bar 14 high,
// 14 under them, its segments rounded 3, dimmed to 0.35 while another is under the pointer.
inline constexpr double kTotalSize = 34;
inline constexpr double kTotalTracking = -1;
inline constexpr double kSummaryTextGap = 8;
inline constexpr double kSummaryBar = 14;
inline constexpr double kSummaryBarGap = 14;
inline constexpr double kSegmentRadius = 3;
inline constexpr double kSegmentDimmed = 0.35;

// The note over the grid: padded 12, corner radius 12; its symbol (13 points, 16 wide) at the
// top left, the text 20 after the symbol's left edge.
inline constexpr double kNotePad = 12;
inline constexpr double kNoteRadius = 12;
inline constexpr double kNoteSymbolWidth = 16;
inline constexpr double kNoteSymbolPoints = 13;
inline constexpr double kNoteTextInset = 20;

// The grid: columns at least 360 wide. While the report is worked out, the spinner stands 120
// from the top.
inline constexpr double kBucketColumnLeast = 360;
inline constexpr double kLoadingTop = 120;

// A bucket card: the glyph (36 points), the texts 12 after it, the size (22 points, tracking
// −0.6) 8 after them; the badge (padded 7 by 2.5) 5 under the title; the header, the blurb (2
// lines), the item lines and the keys 12 apart, the keys 8 apart; the plan's note (2 lines) 10
// under the item lines.
inline constexpr double kBucketGlyph = 36;
inline constexpr double kBucketGap = 12;
inline constexpr double kBucketSize = 22;
inline constexpr double kBucketTracking = -0.6;
inline constexpr double kBucketSizeGap = 8;
inline constexpr double kBucketBadgePadH = 7;
inline constexpr double kBucketBadgePadV = 2.5;
inline constexpr double kBucketBadgeGap = 5;
inline constexpr int kBucketBlurbLines = 2;
inline constexpr double kBucketKeyGap = 8;
inline constexpr int kPlanNoteLines = 2;
inline constexpr double kPlanNoteGap = 10;
inline constexpr double kBucketHeaderLeast = kBucketGlyph + kGlyphDepth;

// A bucket's item lines: 30 high, 2 apart, padded 8 across; the icon 18 square (an owner-less
// item a 7-point dot of the bucket's colour), the name 8 after it, the bytes 8 before the
// chevron (an 11-point symbol, 9 wide). A line's menu opens under it, 30 in; its hover tint
// and rest fill.
inline constexpr double kItemLineHeight = 30;
inline constexpr double kItemLineGap = 2;
inline constexpr double kItemLinePad = 8;
inline constexpr double kItemLineIcon = 18;
inline constexpr double kItemLineDot = 7;
inline constexpr double kItemLinePartGap = 8;
inline constexpr double kChevronWidth = 9;
inline constexpr double kChevronPoints = 11;
inline constexpr int kItemLineMenuInset = 30;
inline constexpr double kItemLineHover = 0.07;
inline constexpr double kItemLineRest = 0.035;

// The hidden-space card: rows 12 apart, each a 28-point glyph, the texts 12 after it (the
// title 2 over the text, the value 8 after the title).
inline constexpr double kHiddenGlyph = 28;
inline constexpr double kHiddenGap = 12;
inline constexpr double kHiddenLineGap = 2;
inline constexpr double kHiddenValueGap = 8;
inline constexpr double kHiddenRowLeast = kHiddenGlyph + kGlyphDepth;

}  // namespace tamrel
