#pragma once

// The sizes of the Trash basket's tray, its list and the toasts, in points.

namespace tamrel {

// A soft shadow under a dark panel: black at `alpha`, blurred `blur` points, `dy` points down.
struct PanelShadow {
    double alpha;
    double blur;
    double dy;
};

// The room the tray and the toasts keep around their panel for its shadow.
inline constexpr double kShadowSide = 20;
inline constexpr double kShadowTop = 10;
inline constexpr double kShadowBottom = 30;

// The tray: a dark panel (corner radius 18) 20 above the foot of the screen, padded 9 down,
// 18 before the counter and 10 after the keys, the keys 16 apart and 16 after the counter, at
// least 40 high inside. The counter: "N PICKED" 2 over the basket's size (at 20 points, in a
// line of 26), the chevron (a 10-point symbol, 10 by 12) 12 after them; its focus ring stands
// 8 across and 4 down outside it, corner radius 10. The list opens 8 above the counter.
inline constexpr double kTrayRadius = 18;
inline constexpr PanelShadow kTrayShadow{0.25, 18, 10};
inline constexpr int kTrayBottom = 20;
inline constexpr double kTrayPadV = 9;
inline constexpr double kTrayPadLeft = 18;
inline constexpr double kTrayPadRight = 10;
inline constexpr double kTrayKeyGap = 16;
inline constexpr double kTrayLeast = 40;
inline constexpr double kTrayLineGap = 2;
inline constexpr double kBasketSizeText = 20;
inline constexpr double kBasketSizeLine = 26;
inline constexpr double kTrayChevronGap = 12;
inline constexpr double kTrayChevronWidth = 10;
inline constexpr double kTrayChevronHeight = 12;
inline constexpr double kTrayChevronPoints = 10;
inline constexpr double kTrayRingH = 8;
inline constexpr double kTrayRingV = 4;
inline constexpr double kTrayRingRadius = 10;
inline constexpr int kBasketListGap = 8;

// The list of picked items: 320 wide, padded 14, the caption 6 over the rows, the rows 2
// apart and 2 down and up, at most 260 high in all; in a row the name, the size and the remove
// key (20 across, in 24 of room), 8 apart.
inline constexpr int kBasketListWidth = 320;
inline constexpr int kBasketListPad = 14;
inline constexpr int kBasketCaptionGap = 6;
inline constexpr int kBasketRowGap = 2;
inline constexpr int kBasketRowPadV = 2;
inline constexpr int kBasketListMost = 260;
inline constexpr int kBasketRowSpacing = 8;
inline constexpr double kBasketRemoveKey = 20;
inline constexpr int kBasketRemoveRoom = 24;

// A toast: a dark panel (corner radius 14) 12 below the top of the screen, padded 16 across
// and 10 down; its LED 10 before the texts; the title 1 over at most 3 lines of detail; never
// narrower than 40 inside.
inline constexpr double kToastRadius = 14;
inline constexpr PanelShadow kToastShadow{0.2, 12, 6};
inline constexpr int kToastTop = 12;
inline constexpr double kToastPadH = 16;
inline constexpr double kToastPadV = 10;
inline constexpr double kToastLedGap = 10;
inline constexpr double kToastLineGap = 1;
inline constexpr int kToastDetailLines = 3;
inline constexpr double kToastLeast = 40;

}  // namespace tamrel
