#pragma once

#include <QColor>

class QWidget;

namespace tamrel {

// The fifteen named colours every screen draws with (sRGB, created once on first use). ink2,
// ink3 and line are the ink colour at reduced opacity, so over a coloured ground they take its
// tint.
namespace Color {

inline const QColor putty{0xFF, 0xFD, 0xF9};      // the window ground
inline const QColor puttyDeep{0xF8, 0xF2, 0xEA};  // the treemap's deeper ground
inline const QColor panel{0xFF, 0xFF, 0xFF};      // every card
inline const QColor keyFace{0xFF, 0xFE, 0xFB};    // plain keys, raised rows
inline const QColor keyEdge{0xCF, 0xCA, 0xC0};    // side of plain keys
inline const QColor ink{0x1D, 0x1C, 0x1A};        // main text
inline const QColor ink2{0x1D, 0x1C, 0x1A, 148};  // 0.58: secondary text, captions
inline const QColor ink3{0x1D, 0x1C, 0x1A, 87};   // 0.34: tertiary text, empty states
inline const QColor line{0x1D, 0x1C, 0x1A, 20};   // 0.08: hairlines, card borders
inline const QColor tangerine{0xFF, 0x6A, 0x2B};  // the accent
inline const QColor tangerineEdge{0xC9, 0x4A, 0x16};
inline const QColor led{0x3D, 0xDC, 0x84};         // green LED
inline const QColor screen{0x1B, 0x1A, 0x18};      // dark display panels
inline const QColor screenGlow{0xFF, 0x8B, 0x4D};  // glowing read-outs
inline const QColor danger{0xE5, 0x48, 0x4D};      // red LED of a failure

// `c` at `opacity` (0 to 1) times its own alpha.
QColor withOpacity(const QColor& c, double opacity);

// Washes of ink: the hover tint of a list's row; the tint of a compact row under the pointer
// and of the tiles and notes set on a card; the fill of a text field and of a neutral badge.
inline const QColor rowHover = withOpacity(ink, 0.045);
inline const QColor softFill = withOpacity(ink, 0.04);
inline const QColor fieldFill = withOpacity(ink, 0.06);
// On the dark display panels: captions ("3 PICKED", "TO REMOVE") and dimmed text; the unit of
// a glowing read-out.
inline const QColor screenCaption{0xFF, 0xFF, 0xFF, 102};  // white 0.4
inline const QColor screenDim{0xFF, 0xFF, 0xFF, 128};      // white 0.5
inline const QColor screenGlowUnit = withOpacity(screenGlow, 0.7);

// Gives a label (any widget drawing with its palette's window text) the text colour `c`.
void setTextColor(QWidget* widget, const QColor& c);

}  // namespace Color
}  // namespace tamrel
