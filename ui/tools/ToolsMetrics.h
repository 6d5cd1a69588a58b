#pragma once

// The sizes the space tools' cards share, in points (System Data, Clean up, Apps).

namespace tamrel {

// A screen's header card (the System Data summary, the Clean up header, the application
// detail's header) is padded 18; the other cards 16. Under a card's title its line follows 4
// points down.
inline constexpr double kHeaderPad = 18;
inline constexpr double kCardPad = 16;
inline constexpr double kTitleGap = 4;

// The read-out display on a header card: corner radius 11, padded 12 across and 8 down, its
// caption and bytes 1 apart (see paintReadout).
inline constexpr double kReadoutRadius = 11;
inline constexpr double kReadoutPadH = 12;
inline constexpr double kReadoutPadV = 8;
inline constexpr double kReadoutLineGap = 1;

// The loading state: the text 10 under the spinner, kept 24 from either side and wrapped in
// lines of at most 440. A badge's symbol stands 4 before its text.
inline constexpr double kLoadingTextGap = 10;
inline constexpr double kLoadingSide = 24;
inline constexpr double kLoadingLineMost = 440;
inline constexpr double kBadgeSymbolGap = 4;

}  // namespace tamrel
