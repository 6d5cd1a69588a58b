#pragma once

#include <QColor>

#include "ui/theme/Glyph.h"

// The sizes and the few colours of the sidebar, in points.

namespace tamrel {

// The column: 228 wide on its own ground; the mark (24 points) and the name 9 apart, inset 18,
// 50 from the top (below the window's keys) and 22 above the lists; the lists inset 8 with
// their rows 4 apart, the captions inset 10 more and 2 above their rows, "Places" 18 under the
// disks; "Open folder…" 2 under the places; the access box inset 14.
inline constexpr int kSidebarWidth = 228;
inline const QColor kSidebarGround{0xFB, 0xF8, 0xF3};
inline constexpr int kSidebarHeaderInset = 18;
inline constexpr int kSidebarHeaderTop = 50;
inline constexpr int kSidebarHeaderBottom = 22;
inline constexpr int kSidebarMarkGap = 9;
inline constexpr double kSidebarMark = 24;
inline constexpr int kSidebarListInset = 8;
inline constexpr int kSidebarRowGap = 4;
inline constexpr int kSidebarCaptionInset = 10;
inline constexpr int kSidebarCaptionBottom = 2;
inline constexpr int kPlacesCaptionTop = 18;
inline constexpr int kOpenFolderTop = 2;
inline constexpr int kAccessInset = 14;

// A row: as wide as the list, padded 10 across and 7 down over 2 points of key edge; a 24-point
// glyph, the texts from 44 on, 10 from the right; the title, the free space 3 under it and the
// used-space bar (4 high, never shorter than 4) 3 under that. The bolt (an 8-point symbol) 5
// after the title takes the pointer 3 points around it.
inline constexpr int kSidebarRowWidth = kSidebarWidth - 2 * kSidebarListInset;
inline constexpr double kSidebarRowPadH = 10;
inline constexpr double kSidebarRowPadV = 7;
inline constexpr double kSidebarRowDepth = 2;
inline constexpr double kSidebarGlyph = 24;
inline constexpr double kSidebarGlyphTile = kSidebarGlyph + kGlyphDepth;
inline constexpr double kSidebarTextLeft = 44;
inline constexpr double kSidebarLineGap = 3;
inline constexpr double kFillBar = 4;
inline constexpr double kFillLeast = 4;
inline constexpr double kBoltPoints = 8;
inline constexpr double kBoltGap = 5;
inline constexpr double kBoltSlack = 3;
// A row is drawn as a key while its selection is more than this.
inline constexpr double kSelectionShown = 0.001;
// A hovered row's tint: tangerine at this opacity; the used-space bar's track: ink at this.
inline constexpr double kRowHoverTint = 0.07;
inline constexpr double kFillTrack = 0.1;

// "Open folder…": the dashed tile (corner radius 7; dashes 3 long, 3 apart, 1.2 wide) and its
// 11-point plus.
inline constexpr double kOpenTileRadius = 7;
inline constexpr double kOpenDash = 3;
inline constexpr double kOpenDashWidth = 1.2;
inline constexpr double kOpenPlusPoints = 11;

// The access box: padded 12, corner radius 12, the LED and the heading 7 apart, the hint 8
// under them; its fill, and the LED's amber while access is limited.
inline constexpr int kAccessPad = 12;
inline constexpr double kAccessRadius = 12;
inline constexpr int kAccessLedGap = 7;
inline constexpr int kAccessHintGap = 8;
inline const QColor kAccessFill{0xFF, 0xF1, 0xE4};
inline const QColor kAccessAmber{0xFF, 0xB0, 0x20};

}  // namespace tamrel
