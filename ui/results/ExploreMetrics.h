#pragma once

// The sizes of the Explore screen, in points: the folder summary with its kind bar and the
// file list beside the treemap.

namespace tamrel {

// The screen: the left column 400 wide and 16 from the treemap; the summary 12 over the list.
inline constexpr int kExploreColumnWidth = 400;
inline constexpr int kExploreColumnGap = 16;
inline constexpr int kExploreSummaryGap = 12;

// The folder summary: padded 16; its total (36 points, tracking −1) in a line of 44, the kind
// bar 12 under it; the file count (and at the root the scan time 2 under it) 4 above the
// total's foot, at its right.
inline constexpr int kSummaryPad = 16;
inline constexpr int kSummaryTotalLine = 44;
inline constexpr int kSummaryBarGap = 12;
inline constexpr double kFolderSize = 36;
inline constexpr double kFolderTracking = -1;
inline constexpr double kSummaryLineGap = 2;
inline constexpr double kSummaryLineRise = 4;

// The kind bar: 6 high (a capsule), 368 wide unless told otherwise; the legend 12 under it in
// two columns 18 apart, rows 6 apart, at least as high as the 7-point dot; a label 14 in from
// the dot's left, the bytes at the right, 6 from the label. Under the pointer the other kinds
// fade to 0.3 in the bar and 0.4 in the legend.
inline constexpr double kKindBarHeight = 6;
inline constexpr int kKindBarWidth = 368;
inline constexpr double kLegendTop = 12;
inline constexpr int kLegendColumns = 2;
inline constexpr double kLegendSpacingX = 18;
inline constexpr double kLegendSpacingY = 6;
inline constexpr double kLegendDot = 7;
inline constexpr double kLegendLabelInset = 14;
inline constexpr double kLegendBytesGap = 6;
inline constexpr double kKindFaded = 0.3;
inline constexpr double kLegendFaded = 0.4;

}  // namespace tamrel
