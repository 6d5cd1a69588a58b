#pragma once

// The spacing and radii the screens share, in points. A size only one screen uses is named in
// that screen's own metrics header (ui/home/SidebarMetrics.h, ui/tools/AppsMetrics.h, ...); the
// card's radius is kCardRadius (ui/theme/Panel.h), the keys' numbers are keyMetrics()
// (ui/theme/Keys.h) and the fonts are the roles of ui/theme/Fonts.h.

namespace tamrel {

// The margin between a screen's cards and the window's sides and bottom edge (the screens below
// the path bar, the toast's room on either side).
inline constexpr int kScreenSide = 22;
// Between the cards stacked on a scrolled screen (System Data, Clean up).
inline constexpr double kCardGap = 14;
// Below the last card of a scrolled screen: the basket tray's room, so the tray never covers it.
inline constexpr double kTrayRoom = 110;

// The corner radius of a list's row (files, applications, the sidebar's disks and places), of
// its hover tint and its focus ring.
inline constexpr double kRowRadius = 11;
// The corner radius of the compact rows on the space tools' cards (an application's leftovers,
// a System Data card's item lines), of their tint and focus ring.
inline constexpr double kItemRadius = 8;

}  // namespace tamrel
