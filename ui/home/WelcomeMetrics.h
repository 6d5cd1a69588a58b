#pragma once

#include <QColor>

// The sizes of the Welcome screen, in points.

namespace tamrel {

// The disk's display card: 500 wide, padded 26, corner radius 20; the name, the free space,
// the meter (14 high, 36 segments) and the used line 14 apart; the name stops 24 before the
// LED; the unit 8 after the number. Unlit segments and the used line in white at these
// opacities (0.08, 0.45).
inline constexpr double kWelcomeCardWidth = 500;
inline constexpr double kWelcomeCardPad = 26;
inline constexpr double kWelcomeCardRadius = 20;
inline constexpr double kWelcomeCardGap = 14;
inline constexpr double kWelcomeMeter = 14;
inline constexpr int kWelcomeSegments = 36;
inline constexpr double kWelcomeLedRoom = 24;
inline constexpr double kWelcomeUnitGap = 8;
inline const QColor kWelcomeUnlit{0xFF, 0xFF, 0xFF, 20};
inline const QColor kWelcomeUsedInk{0xFF, 0xFF, 0xFF, 115};

// Down the screen: the card, 40, the headline, 10, the two lines of the intro (3 points of
// extra leading), 28, the keys (14 apart), 18, the drop hint.
inline constexpr int kWelcomeHeadlineGap = 40;
inline constexpr int kWelcomeIntroGap = 10;
inline constexpr double kWelcomeIntroLeading = 3;
inline constexpr int kWelcomeKeysGap = 28;
inline constexpr int kWelcomeKeySpacing = 14;
inline constexpr int kWelcomeHintGap = 18;

// While a drag hovers: a tangerine dashed line (2 wide, dashes of 8 with gaps of 6) 17 inside
// the screen's edge, corner radius 23.
inline constexpr double kDropLine = 2;
inline constexpr double kDropDash = 8;
inline constexpr double kDropDashGap = 6;
inline constexpr double kDropInset = 17;
inline constexpr double kDropRadius = 23;

}  // namespace tamrel
