#include "ui/theme/RowList.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollArea>
#include <QWidget>

#include <algorithm>

#include "ui/theme/KeyboardFocus.h"

namespace tamrel {

RowList::RowList(QWidget* list, QWidget* pointer, ListRows rows)
    : QObject(list), list_(list), pointer_(pointer), rows_(std::move(rows)) {
    if (!rows_.doubleClick) rows_.doubleClick = rows_.click;
    if (!rows_.menuAnchor) {
        rows_.menuAnchor = [this](int row) {
            const QRectF r = rectOf(row);
            return QPoint(int(r.left()) + 12, int(r.bottom()));
        };
    }
    if (!rows_.scrollMargin)
        rows_.scrollMargin = [this](int row) { return int(rectOf(row).height()); };
    if (!rows_.firstRow) rows_.firstRow = [] { return 0; };
    if (!rows_.closesOnEscape) rows_.closesOnEscape = [] { return false; };
    pointer_->setMouseTracking(true);
    list_->installEventFilter(this);
    if (pointer_ != list_) pointer_->installEventFilter(this);
}

RowList* RowList::of(const QWidget* list) {
    return list ? list->findChild<RowList*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

bool RowList::showsRing(int row) const {
    return row >= 0 && row == current_ && list_->hasFocus();
}

void RowList::repaintRow(int row) {
    if (row >= 0 && row < rows()) pointer_->update(rectOf(row).toAlignedRect());
}

void RowList::setCurrentRow(int row, bool announce) {
    const int count = rows();
    row = count == 0 ? -1 : std::clamp(row, 0, count - 1);
    const int was = current_;
    current_ = row;
    if (row >= 0) {
        currentKey_ = keyOf(row);
        place_ = row;
    }
    if (was == row) return;
    repaintRow(was);
    repaintRow(row);
    scrollToRow(row);
    if (announce && row >= 0 && rows_.moved) rows_.moved(row);
}

bool RowList::setCurrentKey(const QString& key) {
    for (int k = 0, count = rows(); k < count; ++k) {
        if (keyOf(k) != key) continue;
        setCurrentRow(k);
        return true;
    }
    return false;
}

void RowList::reset() {
    repaintRow(current_);
    current_ = place_ = -1;
    currentKey_.clear();
    setHover(-1);
    pressedKey_.clear();
    clickedKey_.clear();
}

void RowList::rowsChanged() {
    const int count = rows();
    const auto find = [&](const QString& key, int near) {
        if (key.isEmpty()) return -1;
        // Most refreshes leave the row where it was.
        if (near >= 0 && near < count && keyOf(near) == key) return near;
        for (int k = 0; k < count; ++k) {
            if (keyOf(k) == key) return k;
        }
        return -1;
    };
    hover_ = find(hoverKey_, hover_);
    if (hover_ < 0) hoverKey_.clear();
    if (currentKey_.isEmpty()) {
        // Rows came to a list that has the focus: its place is on them at once.
        if (list_->hasFocus() && count > 0) setCurrentRow(rows_.firstRow());
        return;
    }
    int at = find(currentKey_, place_);
    // The row is gone: the one that now stands at its place takes it.
    if (at < 0 && count > 0) at = std::clamp(place_, 0, count - 1);
    current_ = at;
    if (at >= 0) {
        currentKey_ = keyOf(at);
        place_ = at;
    }
}

void RowList::scrollToRow(int row) {
    if (row < 0 || row >= rows()) return;
    if (auto* view = qobject_cast<QAbstractItemView*>(list_)) {
        view->scrollTo(view->model()->index(row, 0));
        return;
    }
    for (QWidget* w = list_->parentWidget(); w; w = w->parentWidget()) {
        auto* area = qobject_cast<QScrollArea*>(w);
        if (!area || !area->widget()) continue;
        const QPoint centre = pointer_->mapTo(area->widget(), rectOf(row).center().toPoint());
        area->ensureVisible(centre.x(), centre.y(), 0, rows_.scrollMargin(row));
        return;
    }
}

int RowList::rowAt(QPointF pos) const {
    for (int k = 0, count = rows(); k < count; ++k) {
        if (rectOf(k).contains(pos)) return k;
    }
    return -1;
}

void RowList::setHover(int row) {
    if (row == hover_) return;
    repaintRow(hover_);
    hover_ = row;
    hoverKey_ = row >= 0 ? keyOf(row) : QString();
    repaintRow(row);
}

int RowList::pageRows() const {
    const int row = std::max(current_, 0);
    const double height = rows() > 0 ? rectOf(row).height() : 0;
    const int visible = pointer_->visibleRegion().boundingRect().height();
    return height > 0 ? std::max(1, int(visible / height)) : 1;
}

bool RowList::key(QKeyEvent* event) {
    const int count = rows();
    if (const auto to = steppedEntry(*event, current_, count, Qt::Vertical, pageRows())) {
        setCurrentRow(*to, true);
        return true;
    }
    const bool on = current_ >= 0 && current_ < count;
    if (opensEntry(*event)) {
        if (on && rows_.activate) rows_.activate(current_);
        return true;
    }
    if (event->key() == Qt::Key_Space && !(event->modifiers() & ~Qt::KeypadModifier)) {
        if (on && rows_.toggle) rows_.toggle(current_);
        return true;
    }
    if (opensMenu(*event)) {
        openMenu();
        return true;
    }
    return false;
}

void RowList::openMenu() {
    if (current_ >= 0 && current_ < rows() && rows_.menu)
        rows_.menu(current_, pointer_->mapToGlobal(rows_.menuAnchor(current_)));
}

bool RowList::eventFilter(QObject* watched, QEvent* event) {
    const bool itemView = qobject_cast<QAbstractItemView*>(list_) != nullptr;
    // A menu asked for from the keyboard (the Menu key, as the desktop sends it) is the current
    // row's, wherever the event says it is: its position is only the centre of the widget with
    // the focus. It never reaches the window behind the list, whose own menu it would open; from
    // a control inside the list (a card's keys) it opens none.
    if ((watched == list_ || watched == pointer_) && event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        if (list_->hasFocus()) openMenu();
        event->accept();
        return true;
    }
    if (watched == list_) {
        switch (event->type()) {
            case QEvent::ShortcutOverride:
            case QEvent::KeyPress: {
                auto* key = static_cast<QKeyEvent*>(event);
                // Escape closes what is open, also from a control inside the list, before the
                // window's own Escape.
                if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier &&
                    rows_.closesOnEscape()) {
                    if (event->type() == QEvent::KeyPress) rows_.closeOnEscape();
                    key->accept();
                    return true;
                }
                if (event->type() == QEvent::KeyPress && list_->hasFocus() && this->key(key)) {
                    key->accept();
                    return true;
                }
                break;
            }
            case QEvent::FocusIn:
                if (current_ < 0) setCurrentRow(place_ >= 0 ? place_ : rows_.firstRow(), true);
                scrollToRow(current_);
                repaintRow(current_);
                break;
            case QEvent::FocusOut:
                repaintRow(current_);
                break;
            default:
                break;
        }
    }
    if (watched != pointer_) return false;
    switch (event->type()) {
        case QEvent::MouseMove:
            setHover(rowAt(static_cast<QMouseEvent*>(event)->position()));
            return false;
        case QEvent::Leave:
            setHover(-1);
            return false;
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const int row = rowAt(mouse->position());
            pressedKey_ = row >= 0 && mouse->button() == Qt::LeftButton ? keyOf(row)
                                                                         : QString();
            return row >= 0 || itemView;
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const int row = rowAt(mouse->position());
            const QString pressed = pressedKey_;
            pressedKey_.clear();
            // The same row under the press and the release, also when the rows changed between.
            if (mouse->button() == Qt::LeftButton && row >= 0 && !pressed.isEmpty() &&
                keyOf(row) == pressed) {
                clickedKey_ = pressed;
                if (rows_.click) rows_.click(row, mouse->position());
            }
            return row >= 0 || itemView;
        }
        case QEvent::MouseButtonDblClick: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const int row = rowAt(mouse->position());
            // Only on the row of the click before: the first click may have changed the rows.
            if (mouse->button() == Qt::LeftButton && row >= 0 && !clickedKey_.isEmpty() &&
                keyOf(row) == clickedKey_)
                if (rows_.doubleClick) rows_.doubleClick(row, mouse->position());
            return row >= 0 || itemView;
        }
        case QEvent::ContextMenu: {
            auto* menu = static_cast<QContextMenuEvent*>(event);
            const int row = rowAt(menu->pos());
            if (row >= 0 && rows_.menu) rows_.menu(row, menu->globalPos());
            return row >= 0 || itemView;
        }
        default:
            return false;
    }
}

}  // namespace tamrel
