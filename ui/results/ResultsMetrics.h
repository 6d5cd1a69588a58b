#pragma once

// The sizes of the results screen's frame, in points: the header (path bar, search field,
// rescan key), the tab picker and the list screens' title line.

namespace tamrel {

// The header: 58 high, 14 from the top, its parts 12 apart with at least 12 more between the
// path bar and the search field; the rescan key 30 across. The tabs 6 under it and 14 over the
// screen below.
inline constexpr int kResultsHeaderHeight = 58;
inline constexpr int kResultsHeaderTop = 14;
inline constexpr int kResultsHeaderGap = 12;
inline constexpr double kRescanKey = 30;
inline constexpr int kTabRowTop = 6;
inline constexpr int kTabRowBottom = 14;

// The path bar: 34 high; the up key (28 across, dimmed to 0.4 at the root) and the crumbs 6
// apart with the separators between them, 6 to either side; a crumb cut at 220 and, in a narrow
// window, down to 24 at least; 2 points of room after the last. A crumb's text may take half a
// point more than its width. Its focus ring stands 5 outside it across and 3 inside it down,
// corner radius 8.
inline constexpr int kCrumbBarHeight = 34;
inline constexpr double kUpKey = 28;
inline constexpr double kUpDimmed = 0.4;
inline constexpr double kCrumbSpacing = 6;
inline constexpr double kCrumbMaxWidth = 220;
inline constexpr double kCrumbLeastWidth = 24;
inline constexpr int kCrumbBarSlack = 2;
inline constexpr double kCrumbTextSlack = 0.5;
inline constexpr double kCrumbRingH = 5;
inline constexpr double kCrumbRingV = 3;
inline constexpr double kCrumbRingRadius = 8;

// The search field: 270 by 32, corner radius 10, padded 11; the magnifier (a 12-point symbol,
// 14 wide) 7 before the text, the trailing hint 7 after it, the clear key (a 13-point symbol,
// 14 square, with 3 points of room around it for its ring) 7 after the hint. While the text has
// the focus, a tangerine ring 1.5 wide runs inside the edge.
inline constexpr int kSearchWidth = 270;
inline constexpr int kSearchHeight = 32;
inline constexpr double kSearchRadius = 10;
inline constexpr double kSearchPad = 11;
inline constexpr double kSearchGap = 7;
inline constexpr double kSearchMagnifierWidth = 14;
inline constexpr double kSearchMagnifierPoints = 12;
inline constexpr double kClearSide = 14;
inline constexpr double kClearPoints = 13;
inline constexpr double kClearRingRoom = 3;

// The tab picker's keys: padded 14 across and 8 down, 6 apart, corner radius 10, 3 points of
// edge below; a pressed-in key's label sits 2 lower.
inline constexpr double kTabPadH = 14;
inline constexpr double kTabPadV = 8;
inline constexpr double kTabGap = 6;
inline constexpr double kTabRadius = 10;
inline constexpr double kTabDepth = 3;
inline constexpr double kTabDrop = 2;

// The list screens (Biggest, search results): the title's line 30 high and 10 over the list,
// the title 4 in from the screen's side and 2 down, its caption 10 after it.
inline constexpr int kListTitleHeight = 30;
inline constexpr int kListTitleGap = 10;
inline constexpr double kListTitleInset = 4;
inline constexpr double kListTitleDrop = 2;
inline constexpr double kListCaptionGap = 10;

}  // namespace tamrel
