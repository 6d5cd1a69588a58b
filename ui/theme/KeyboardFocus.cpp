#include "ui/theme/KeyboardFocus.h"

#include <QKeyEvent>

#include <algorithm>

namespace tamrel {

std::optional<int> steppedEntry(const QKeyEvent& key, int at, int count,
                                Qt::Orientation orientation, int page) {
    if (count <= 0) return std::nullopt;
    if (key.modifiers() & (Qt::AltModifier | Qt::ControlModifier)) return std::nullopt;
    const bool vertical = orientation == Qt::Vertical;
    int to;
    switch (key.key()) {
        case Qt::Key_Up:
        case Qt::Key_Left:
            if ((key.key() == Qt::Key_Up) != vertical) return std::nullopt;
            to = at < 0 ? 0 : at - 1;
            break;
        case Qt::Key_Down:
        case Qt::Key_Right:
            if ((key.key() == Qt::Key_Down) != vertical) return std::nullopt;
            to = at + 1;
            break;
        case Qt::Key_Home: to = 0; break;
        case Qt::Key_End: to = count - 1; break;
        case Qt::Key_PageUp: to = at - page; break;
        case Qt::Key_PageDown: to = at < 0 ? page - 1 : at + page; break;
        default: return std::nullopt;
    }
    return std::clamp(to, 0, count - 1);
}

bool opensEntry(const QKeyEvent& key) {
    return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) &&
           !(key.modifiers() & (Qt::AltModifier | Qt::ControlModifier));
}

bool opensMenu(const QKeyEvent& key) {
    return key.key() == Qt::Key_Menu ||
           (key.key() == Qt::Key_F10 && (key.modifiers() & Qt::ShiftModifier));
}

}  // namespace tamrel
