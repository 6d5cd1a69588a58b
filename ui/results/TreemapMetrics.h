#pragma once

// The sizes of the treemap, in points: its well and the key-shaped tiles in it.

namespace tamrel {

// The well: corner radius 20, the tiles laid out 9 inside its edge; at least 120 square. Its
// corners are squares of 22 (the rounding and its antialiasing). An empty folder: a 30-point
// symbol 8 over 15-point text.
inline constexpr double kWellRadius = 20;
inline constexpr double kWellInset = 9;
inline constexpr int kWellCorner = 22;
inline constexpr int kTreemapLeast = 120;
inline constexpr double kTreemapEmptySymbol = 30;
inline constexpr double kTreemapEmptyText = 15;
inline constexpr double kTreemapEmptySpacing = 8;

// No tiles in an area 4 or less on a side. A tile: its rectangle less a gutter of 3 on every
// side; corner radius a third of its shorter side, at most 12; its key's edge 4 deep from a
// shorter side over 40, 2.5 over 16, else 1.5; a title from 60 wide and 34 high (larger type
// from 180 by 90, two lines from 70 high), the size line from 50 high; the check badge (18
// across, 6 in from the face's top right corner, a 9-point symbol) on a shorter side over 26.
inline constexpr double kTreemapLeastSide = 4;
inline constexpr double kTileGutter = 3;
inline constexpr double kTileRadiusMost = 12;
inline constexpr double kDeepTileFrom = 40;
inline constexpr double kDeepTileDepth = 4;
inline constexpr double kMidTileFrom = 16;
inline constexpr double kMidTileDepth = 2.5;
inline constexpr double kFlatTileDepth = 1.5;
inline constexpr double kLabelFromWidth = 60;
inline constexpr double kLabelFromHeight = 34;
inline constexpr double kBigFromWidth = 180;
inline constexpr double kBigFromHeight = 90;
inline constexpr double kTwoLinesFrom = 70;
inline constexpr double kSizeLineFrom = 50;
inline constexpr double kBadgeFrom = 26;
inline constexpr double kTileBadge = 18;
inline constexpr double kTileBadgeInset = 6;
inline constexpr double kTileBadgePoints = 9;

// A label: 9 in from the face's sides and 8 from its top; the size line 2 under the title. The
// face of a lifted tile rises 1.5. A picked tile's stripes: tangerine lines 2.5 wide, 10 apart.
// A tile's menu opens 12 in from the face's top left corner.
inline constexpr double kTileTextPadH = 9;
inline constexpr double kTileTextPadV = 8;
inline constexpr double kTileSizeGap = 2;
inline constexpr double kTileLift = 1.5;
inline constexpr double kStripeWidth = 2.5;
inline constexpr double kStripeSpacing = 10;
inline constexpr int kTileMenuInset = 12;

// The colours of a tile: its face the tile's colour towards white (less for the others tile),
// a picked face tangerine towards white; its edge the colour towards black; its label's ink
// well towards black, the size line fainter; the stripes over a picked face.
inline constexpr double kTileFaceTint = 0.5;
inline constexpr double kOthersFaceTint = 0.4;
inline constexpr double kPickedFaceTint = 0.72;
inline constexpr double kTileEdgeShade = 0.08;
inline constexpr double kTileInkShade = 0.62;
inline constexpr double kTileSizeOpacity = 0.65;
inline constexpr double kStripeOpacity = 0.35;

}  // namespace tamrel
