#pragma once

#include <QString>
#include <QStringList>

namespace tamrel::Symbols {

// The screens and the core's records name their icons by symbol names ("house.fill",
// "bolt.fill"); each is drawn as a glyph of the Material Icons font (Fonts::symbol). One table
// holds every name used.

// The glyph (one character of the symbol font) of `name`; a neutral circle glyph for a name
// the table does not hold.
QString glyph(const QString& name);
// Whether the table holds `name`.
bool has(const QString& name);
// Every name of the table, in alphabetical order.
QStringList names();
// The code point of the glyph of `name`, 0 when the table does not hold it.
char32_t codepoint(const QString& name);

}  // namespace tamrel::Symbols
