#pragma once

// The sizes the space tools' cards share, in points (System Data, Clean up, Apps).

namespace tamrel {

// A screen's header card (the System Data summary, the Clean up header, the application
// detail's header) is padded 18; the other cards 16. Under a card's title its line follows 4
// points down.
inline constexpr double kHeaderPad = 18;
inline constexpr double kCardPad = 16;
inline constexpr double kTitleGap = 4;

}  // namespace tamrel
