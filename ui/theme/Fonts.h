#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QPointF>
#include <QString>
#include <QStringList>

class QPainter;

namespace tamrel::Fonts {

// The text face of the screens is Inter, the monospaced design JetBrains Mono and the symbols
// the Material Icons font (Debian: fonts-inter, fonts-jetbrains-mono,
// fonts-material-design-icons-iconfont), all found by family name.
inline constexpr const char* kSystemFamily = "Inter";
inline constexpr const char* kMonoFamily = "JetBrains Mono";
inline constexpr const char* kSymbolFamily = "Material Icons";

enum class Weight { regular, medium, semibold, bold, heavy };

// The families above that the font database does not have (empty when all are there).
QStringList missingFamilies();
// A message naming the missing families and the packages that bring them, or empty.
QString missingMessage();

// The system font at `size` points (1 point = 1 logical pixel) and weight; `tracking` is the
// kerning added after every character, in points.
QFont system(double size, Weight weight, double tracking = 0);
// The monospaced design at that size and weight.
QFont mono(double size, Weight weight, double tracking = 0);
// The symbol font sized to stand beside text of `size` points.
QFont symbol(double size);

// The height of one line of `font`: ascent plus descent.
double lineHeight(const QFont& font);

enum class Face { system, mono };

// A font role: the face, size (points), weight and tracking of one kind of text. Every text the
// screens set takes one of the roles below, so a size is written once and the code says what a
// text is, not how big it is. Texts of one role look alike on every screen.
struct Role {
    Face face;
    double size;
    Weight weight;
    double tracking = 0;

    // The font: system() or mono() of the role, made on first use and kept for the life of the
    // process. Main thread only.
    const QFont& font() const;
    // lineHeight() of the font.
    double lineHeight() const;
};

// Shared by the screens. The application's default; section captions; short labels and link
// keys; notes, blurbs and legends in ink2; explanations under a card's title.
inline constexpr Role body{Face::system, 13, Weight::regular};
inline constexpr Role caption{Face::system, 12, Weight::semibold};
inline constexpr Role label{Face::system, 12, Weight::semibold};
inline constexpr Role secondary{Face::system, 12, Weight::medium};
inline constexpr Role blurb{Face::system, 12.5, Weight::medium};
// A screen's header card: its title and the line under it; loading and progress lines.
inline constexpr Role screenTitle{Face::system, 20, Weight::bold, -0.5};
inline constexpr Role subtitle{Face::system, 13, Weight::medium};
inline constexpr Role status{Face::system, 13, Weight::medium};
// The rows of the lists: the name and the line under it; the compact rows of the space tools,
// their names, the lines under them and their byte counts.
inline constexpr Role rowTitle{Face::system, 13, Weight::semibold};
inline constexpr Role rowDetail{Face::system, 11.5, Weight::medium};
inline constexpr Role itemTitle{Face::system, 12.5, Weight::semibold};
inline constexpr Role itemDetail{Face::system, 11, Weight::medium};
inline constexpr Role itemSize{Face::system, 12.5, Weight::bold};
// Capsule badges; the text typed into a field; the tab picker's keys.
inline constexpr Role badge{Face::system, 10.5, Weight::semibold};
inline constexpr Role field{Face::system, 13, Weight::semibold};
inline constexpr Role tab{Face::system, 13, Weight::bold};
// The small caption on a display panel over its read-out ("3 TICKED", "TO REMOVE").
inline constexpr Role displayCaption{Face::mono, 9, Weight::semibold, 0.8};

// The sidebar: the name beside the mark, a disk's "<free> free", the access box's hint.
inline constexpr Role brand{Face::system, 16, Weight::bold};
inline constexpr Role volumeDetail{Face::mono, 10, Weight::medium};
inline constexpr Role accessHint{Face::system, 11, Weight::medium};

// The Welcome screen: the headline and the lines under it; the disk's display (its name, the
// free space's number and unit, the used line); the drop hint.
inline constexpr Role headline{Face::system, 38, Weight::bold, -1.2};
inline constexpr Role intro{Face::system, 14.5, Weight::medium};
inline constexpr Role diskName{Face::mono, 11, Weight::semibold, 1.2};
inline constexpr Role freeNumber{Face::mono, 64, Weight::bold, -2};
inline constexpr Role freeUnit{Face::mono, 14, Weight::bold};
inline constexpr Role usedLine{Face::mono, 11, Weight::medium, 0.6};
inline constexpr Role dropHint{Face::mono, 11, Weight::medium};
// The Scanning screen: the count of files read and the line under it.
inline constexpr Role scanCount{Face::system, 56, Weight::bold, -2};
inline constexpr Role scanCaption{Face::system, 15, Weight::semibold};

// The path bar's crumbs, the current one, the ellipsis and the separators; the search field's
// trailing hint ("Ctrl+F", the match count).
inline constexpr Role crumb{Face::system, 14, Weight::semibold};
inline constexpr Role currentCrumb{Face::system, 14, Weight::bold};
inline constexpr Role crumbEllipsis{Face::system, 14, Weight::bold};
inline constexpr Role crumbSeparator{Face::system, 13, Weight::semibold};
inline constexpr Role fieldHint{Face::mono, 10, Weight::bold};
// The basket tray's "3 PICKED", the sizes in its list; a toast's title and detail.
inline constexpr Role trayCount{Face::mono, 9.5, Weight::semibold, 1};
inline constexpr Role basketSize{Face::mono, 11, Weight::medium};
inline constexpr Role toastTitle{Face::system, 14, Weight::bold};
inline constexpr Role toastDetail{Face::mono, 10.5, Weight::medium};
// A treemap tile's title and size line, in a small tile and in a big one.
inline constexpr Role tileTitle{Face::system, 11.5, Weight::bold};
inline constexpr Role bigTileTitle{Face::system, 14, Weight::bold};
inline constexpr Role tileSize{Face::mono, 10, Weight::semibold};
inline constexpr Role bigTileSize{Face::mono, 11.5, Weight::semibold};

// System Data: a card's title and badge, the hidden-space rows' title and value, the note of
// what the clean-up plan takes of a bucket.
inline constexpr Role cardTitle{Face::system, 15.5, Weight::bold};
inline constexpr Role cardBadge{Face::system, 11, Weight::semibold};
inline constexpr Role hiddenTitle{Face::system, 13.5, Weight::semibold};
inline constexpr Role hiddenValue{Face::system, 13.5, Weight::bold};
inline constexpr Role planNote{Face::system, 11.5, Weight::medium};
// Clean up: a group's title; the empty state's title.
inline constexpr Role groupTitle{Face::system, 15, Weight::bold};
inline constexpr Role emptyTitle{Face::system, 16, Weight::bold};
// Apps: a row's data line; the detail's name, its facts' titles and values, a kind of
// leftovers and a leftover's size.
inline constexpr Role appData{Face::system, 10.5, Weight::medium};
inline constexpr Role detailTitle{Face::system, 22, Weight::bold, -0.5};
inline constexpr Role factTitle{Face::system, 11, Weight::medium};
inline constexpr Role factValue{Face::system, 13, Weight::semibold};
inline constexpr Role kindTitle{Face::system, 13, Weight::bold};
inline constexpr Role leftoverSize{Face::system, 12, Weight::bold};

// Text whose digits keep one width as numbers change: Inter's digits are proportional, so each
// digit is drawn centred in a cell as wide as the widest digit. Other characters keep their own
// advance. `tracking` is added after every character, as the font's letter spacing would.
double tabularWidth(const QFont& font, const QString& text);
// `text` cut at its end, with "…", to what tabularWidth() fits in `width`; whole when it fits.
QString elidedTabular(const QFont& font, const QString& text, double width);
// Draws `text` from `origin` (left end of the baseline); returns the width drawn.
double drawTabular(QPainter& painter, QPointF origin, const QFont& font, const QString& text);

}  // namespace tamrel::Fonts
