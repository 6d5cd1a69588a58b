#pragma once

#include "ui/theme/Glyph.h"
#include "ui/tools/TickBox.h"
#include "ui/tools/ToolsMetrics.h"

// The sizes of the Clean up screen, in points: the header card over a card per group.

namespace tamrel {

// The header: the Clean key and the display 16 apart, the titles 16 before the display; the
// ticked size at 20 points; the Trash's note 12 under them, its symbol (12 points, 14 wide) 8
// before the text, and the text 8 before "Open Trash".
inline constexpr double kCleanHeadGap = 16;
inline constexpr double kTickedSize = 20;
inline constexpr double kTrashNoteGap = 12;
inline constexpr double kTrashSymbolWidth = 14;
inline constexpr double kTrashSymbolPoints = 12;
inline constexpr double kTrashNoteInset = 8;

// "Open Trash": 2 points wider than its text, dimmed to 0.6 while held, its focus ring of
// radius 7.
inline constexpr int kLinkSlack = 2;
inline constexpr double kLinkHeldOpacity = 0.6;
inline constexpr double kLinkRingRadius = 7;

// A group's header: its tick box, the glyph (34 points) and the texts 12 apart; the title 3
// over the blurb (2 lines), the risk badge (padded 6 by 2) 8 after the title; the ticked size
// (17 points) 1 over the count, 12 before the expand key (28 across).
inline constexpr double kGroupGap = 12;
inline constexpr double kGroupGlyph = 34;
inline constexpr double kGroupTitleGap = 3;
inline constexpr int kGroupBlurbLines = 2;
inline constexpr double kRiskPadH = 6;
inline constexpr double kRiskPadV = 2;
inline constexpr double kRiskGap = 8;
inline constexpr double kGroupSize = 17;
inline constexpr double kGroupSizeGap = 1;
inline constexpr double kExpandKey = 28;
inline constexpr double kGroupHeaderLeast = kGroupGlyph + kGlyphDepth;

// A group's rows: the list padded 8, rows 1 apart, corner radius 9, padded 8 across and 6
// down, at least as high as the 22-point icon; the tick box, the icon and the texts 10 apart,
// the name 2 over the folder, a note 6 after the folder taking at most half the line; the size
// 10 before the magnifier (a 13-point symbol, 18 wide) and 10 after the texts. "and N more"
// under the rows, 10 down and up, inset 18. The row's menu opens under it, 40 in.
inline constexpr double kCleanListPad = 8;
inline constexpr double kCleanRowGap = 1;
inline constexpr double kCleanRowRadius = 9;
inline constexpr double kCleanRowPadH = 8;
inline constexpr double kCleanRowPadV = 6;
inline constexpr double kCleanIcon = 22;
inline constexpr double kCleanRowPartGap = 10;
inline constexpr double kCleanLineGap = 2;
inline constexpr double kCleanNoteGap = 6;
inline constexpr double kCleanMagnifierWidth = 18;
inline constexpr double kCleanMagnifierPoints = 13;
inline constexpr double kMorePad = 10;
inline constexpr double kMoreInset = 18;
inline constexpr int kCleanMenuInset = 40;

// The empty state's card: the LED (15 across) 60 from the top, the title 10 under it, the text
// 10 under the title, 60 more below.
inline constexpr int kEmptyPad = 60;
inline constexpr int kEmptyLed = 15;
inline constexpr int kEmptyGap = 10;

}  // namespace tamrel
