#pragma once

#include <QRect>

#include <optional>

class QKeyEvent;

namespace tamrel {

// A control that takes the focus for a part of itself while other controls lie inside it (a
// card that draws its rows beside its own keys): Tab reaches it where that part stands among
// them in reading order (see readingOrder). Controls that take the focus as a whole need not
// implement it.
class FocusPart {
public:
    virtual ~FocusPart() = default;
    // The part that has the focus when the control has it, in the control's coordinates.
    virtual QRect focusPart() const = 0;
};

// The keys of the lists that one control draws (file rows, tiles, crumbs, leftovers):
// Where the keyboard's place moves among `count` entries from `at` (-1: none yet) for the
// arrows along `orientation` (Up and Down, or Left and Right), Home, End, Page Up and Page Down
// (`page` entries a page); nothing for another key, or without entries. It stops at the ends.
std::optional<int> steppedEntry(const QKeyEvent& key, int at, int count,
                                Qt::Orientation orientation = Qt::Vertical, int page = 10);
// Enter or Return, without Alt or Ctrl: opens the entry.
bool opensEntry(const QKeyEvent& key);
// The Menu key, or Shift+F10: opens the entry's menu.
bool opensMenu(const QKeyEvent& key);

}  // namespace tamrel
