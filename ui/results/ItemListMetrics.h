#pragma once

// The sizes of a file list's rows, in points (see rowGeometry and ItemList.h's row height).

namespace tamrel {

// A row: padded 10 across and 7 down, its parts 11 apart and the texts at least 8 more before
// the share bar; the icon 28 square, the share bar 48 by 4 (rounded 2), the size column 74 wide
// (a read-out at 13 points), the round pick key 22 across (a 10-point symbol). The name 2 over
// the subtitle. One point between rows.
inline constexpr double kFileRowPadH = 10;
inline constexpr double kFileRowPadV = 7;
inline constexpr double kFileRowGap = 11;
inline constexpr double kFileTextRoom = 8;
inline constexpr double kFileIcon = 28;
inline constexpr double kShareBarWidth = 48;
inline constexpr double kShareBarHeight = 4;
inline constexpr double kShareBarLeast = 4;
inline constexpr double kFileSizeWidth = 74;
inline constexpr double kFileSizeText = 13;
inline constexpr double kPickKey = 22;
inline constexpr double kPickPoints = 10;
inline constexpr double kFileLineGap = 2;
// The share bar's track and fill (ink at these opacities); the pick key's disc while the row
// is hovered and at rest (ink), before it turns tangerine.
inline constexpr double kShareTrack = 0.07;
inline constexpr double kShareFill = 0.45;
inline constexpr double kPickHover = 0.09;
inline constexpr double kPickRest = 0.05;
// The footer ("and N more"): 16 high with 12 above and below. A row's menu opens under it, 44
// in (past the icon).
inline constexpr int kListFooterPad = 12;
inline constexpr int kListFooterLine = 16;
inline constexpr int kFileMenuInset = 44;

// The card: the rows inset 6 from its edges (not at the foot); "Nothing in here" (a 26-point
// symbol 8 over 14-point text, in a line of 18) with 50 above and below.
inline constexpr int kListInset = 6;
inline constexpr double kEmptySymbol = 26;
inline constexpr double kEmptyText = 14;
inline constexpr double kEmptySpacing = 8;
inline constexpr double kEmptyTextLine = 18;
inline constexpr double kEmptyMargin = 50;

}  // namespace tamrel
