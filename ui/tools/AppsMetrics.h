#pragma once

#include "ui/tools/ToolsMetrics.h"

// The sizes of the Apps screen, in points: the list card beside the detail card.

namespace tamrel {

// The screen: the list's width (given up in a small window down to its least, so the detail
// keeps at least its least width), the gap between the two cards, and the placeholder's
// spinner and text, 30 points above the middle of the empty detail, in 100 points of room.
inline constexpr double kAppListWidth = 380;
inline constexpr double kAppListLeast = 240;
inline constexpr double kAppDetailLeast = 420;
inline constexpr int kAppCardGap = 16;
inline constexpr double kAppPlaceholderRise = 30;
inline constexpr int kAppPlaceholderHeight = 100;

// The list card's header: the filter field, inset 10 from the card's edges and 8 from the sort
// menu, 30 high with corner radius 9; in it the magnifier (12-point symbol, 11 wide) 10 from
// the field's left, and the text 6 after it. The sort menu's symbol is 14 points square, drawn
// at 13 points into a picture at twice that. A line under the header; 18 points of room below
// the rows for the card's rounded foot.
inline constexpr int kAppFieldInset = 10;
inline constexpr int kAppFieldHeight = 30;
inline constexpr int kAppFieldSortGap = 8;
inline constexpr double kAppFieldRadius = 9;
inline constexpr int kAppMagnifierInset = 10;
inline constexpr int kAppMagnifierWidth = 11;
inline constexpr double kAppMagnifierPoints = 12;
inline constexpr int kAppMagnifierGap = 6;
inline constexpr int kAppListHeader = kAppFieldInset + kAppFieldHeight + kAppFieldInset;
inline constexpr int kAppSortIcon = 14;
inline constexpr double kAppSortPoints = 13;
inline constexpr int kAppSortIconScale = 2;
inline constexpr double kAppSortRingRadius = 8;
inline constexpr int kAppListFoot = 18;

// An application's row: inset 6 in the list, 1 apart; padded 10 across and 7 down; a 30-point
// icon 10 from the texts, the name 2 over the use line, the size column 6 from the texts; 2
// points of key edge below (the selected row's key stands on it). The spinner of a loading list
// sits 30 below the rows, with as much room under it.
inline constexpr double kAppRowsInset = 6;
inline constexpr double kAppRowGap = 1;
inline constexpr double kAppRowPadH = 10;
inline constexpr double kAppRowPadV = 7;
inline constexpr double kAppIconSide = 30;
inline constexpr double kAppIconGap = 10;
inline constexpr double kAppRowLineGap = 2;
inline constexpr double kAppSizeGap = 6;
inline constexpr double kAppRowDepth = 2;
inline constexpr double kAppSpinnerGap = 30;

// The detail card's header: padded 18, a 64-point icon 16 from the texts (name, identity line,
// badges, 4 apart; badges padded 7 by 3, 6 apart) and the texts 16 from the "to remove"
// read-out of the bytes to remove at 22 points.
inline constexpr double kDetailPad = kHeaderPad;
inline constexpr double kDetailIconSide = 64;
inline constexpr double kDetailIconGap = 16;
inline constexpr double kDetailLineGap = kTitleGap;
inline constexpr double kDetailBadgePadH = 7;
inline constexpr double kDetailBadgePadV = 3;
inline constexpr double kDetailBadgeGap = 6;
inline constexpr double kRemoveSize = 22;

// The facts under the header: tiles 14 apart (and 14 above the line under them), corner radius
// 10, padded 12 across and 8 down, the title 2 over the value.
inline constexpr double kFactGap = 14;
inline constexpr double kFactRadius = 10;
inline constexpr double kFactPadH = 12;
inline constexpr double kFactPadV = 8;
inline constexpr double kFactLineGap = 2;

// The footer: padded 16; the keys 12 apart; the note beside them (at least 110 wide, else above
// them, 12 over the keys) in at most 3 lines, 2 apart; the password line's lock (an 11-point
// symbol, 12 wide) 16 before its text.
inline constexpr double kFootPad = 16;
inline constexpr double kFootKeyGap = 12;
inline constexpr double kFootNoteLeast = 110;
inline constexpr int kFootNoteLines = 3;
inline constexpr double kFootLineGap = 2;
inline constexpr double kFootLockWidth = 12;
inline constexpr double kFootLockPoints = 11;
inline constexpr double kFootLockStep = 16;

// The leftovers under the facts: inset 16; the empty text with 20 above and below it; kinds
// 12 apart, each a header at least as tall as its tick box, its label 8 after the box and 40
// kept clear before the size; rows 4 apart, padded 8 across and 5 down, at least a tick box
// high, the box 10 from the texts, the name 1 over the folder; at the right the magnifier (a
// 13-point symbol, 16 wide), the size 10 before it and the texts 8 before the size; an item
// outside the home folder has the lock there instead (an 11-point symbol, 10 wide, 8 before
// the size), the texts 10 before it. The keyboard's ring around a kind's header stands 4
// across and 3 down outside it.
inline constexpr double kLeftoverInset = 16;
inline constexpr double kLeftoverEmptyPad = 20;
inline constexpr double kKindGap = 12;
inline constexpr double kKindLabelGap = 8;
inline constexpr double kKindSizeRoom = 40;
inline constexpr double kLeftoverGap = 4;
inline constexpr double kLeftoverPadH = 8;
inline constexpr double kLeftoverPadV = 5;
inline constexpr double kLeftoverTickGap = 10;
inline constexpr double kLeftoverLineGap = 1;
inline constexpr double kLeftoverMagnifierWidth = 16;
inline constexpr double kLeftoverMagnifierPoints = 13;
inline constexpr double kLeftoverSizeGap = 10;
inline constexpr double kLeftoverTextGap = 8;
inline constexpr double kLeftoverLockWidth = 10;
inline constexpr double kLeftoverLockPoints = 11;
inline constexpr double kLeftoverLockGap = 10;
inline constexpr double kKindRingH = 4;
inline constexpr double kKindRingV = 3;

}  // namespace tamrel
