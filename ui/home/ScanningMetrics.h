#pragma once

#include <QColor>

// The sizes and timings of the Scanning screen: the dial (the mark, drawn big) over the count,
// the caption and the statistics line.

namespace tamrel {

// The dial: 210 square; its case rounded as the mark, with a soft shadow of the case colour
// (10 rings growing 2 each, 10 down, fading from 0.18 × 0.22) in 30 points of room around it;
// the face inset as the mark's disc, its hub 0.15 of the face's radius; the percentage in bold
// at 0.075 of the side, 0.055 of the side above the foot, in the disc's colour at 0.75 (191).
inline constexpr double kDial = 210;
inline constexpr double kDialShadowRoom = 30;
inline constexpr int kDialShadowRings = 10;
inline constexpr double kDialShadowGrow = 2;
inline constexpr double kDialShadowDrop = 10;
inline constexpr double kDialShadowOpacity = 0.18 * 0.22;
inline constexpr double kDialHub = 0.15;
inline constexpr double kDialPercentSize = 0.075;
inline constexpr double kDialPercentFoot = 0.055;
inline const QColor kDialPercentInk{0xFF, 0xF0, 0xDF, 191};

// Without a fraction the wedge spins at 160° a second, 100° wide give or take 30° as it
// breathes (twice a second in radians). With one, it is never less than a hundredth of the
// dial, and the fraction shown stops at 0.99.
inline constexpr double kSpinDegreesPerSecond = 160;
inline constexpr double kSpinSweep = 100;
inline constexpr double kSpinSweepSwing = 30;
inline constexpr double kSpinBreath = 2;
inline constexpr double kWedgeLeast = 0.01;
inline constexpr double kFractionMost = 0.99;

// Down the screen: the dial, 34, the count, the caption (cut 20 from either side), 14, the
// statistics, 28, "Stop", 16, the closing sentence.
inline constexpr double kDialGap = 34;
inline constexpr double kCaptionRoom = 40;
inline constexpr double kStatsGap = 14;
inline constexpr int kStopGap = 28;
inline constexpr int kClosingGap = 16;

}  // namespace tamrel
