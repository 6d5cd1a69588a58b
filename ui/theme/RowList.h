#pragma once

#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <functional>

class QKeyEvent;
class QWidget;

namespace tamrel {

// What a list of rows is to the one list behaviour (RowList): how many rows take input, where
// each lies, what each shows in words that outlive a refresh, and what its actions do. The
// widget that paints the rows fills it in; an action left empty does nothing.
struct ListRows {
    // The rows that take input now.
    std::function<int()> count{};
    // A row's rectangle in the widget the pointer moves over (the list, or its viewport).
    std::function<QRectF(int row)> rect{};
    // What a row shows, the same across refreshes and index generations (a path, an
    // application's path): the keyboard's place follows it.
    std::function<QString(int row)> key{};

    // Enter or Return on the row.
    std::function<void(int row)> activate{};
    // Space on the row.
    std::function<void(int row)> toggle{};
    // A left click released over the row it was pressed on, at `pos` (pointer coordinates).
    std::function<void(int row, QPointF pos)> click{};
    // The second click of a double click, on the row the first one was on: empty, a second click.
    std::function<void(int row, QPointF pos)> doubleClick{};
    // The row's menu at `global` (screen coordinates): the Menu key, Shift+F10, the right button.
    std::function<void(int row, QPoint global)> menu{};
    // Where the keyboard opens a row's menu, in pointer coordinates: empty, 12 points in from the
    // row's bottom-left corner.
    std::function<QPoint(int row)> menuAnchor{};
    // How much room around the centre of a row scrolling it into view keeps in sight, up and
    // down: empty, half a row more than the row.
    std::function<int(int row)> scrollMargin{};
    // The row the keyboard's place starts on when the list takes the focus without one: empty,
    // the first.
    std::function<int()> firstRow{};
    // The keyboard's place moved to a row by a key (a single-selection list selects it there).
    std::function<void(int row)> moved{};
    // Whether something the list belongs to is open that Escape closes (an expanded card), and
    // closing it.
    std::function<bool()> closesOnEscape{};
    std::function<void()> closeOnEscape{};
};

// The one behaviour of every list of the screens, whatever draws its rows: the row under the
// pointer, the keyboard's place (the current row) kept by identity across refreshes, scrolling
// the current row into view, and the keys. The widget paints; this object takes its input (an
// event filter on the list and on the widget the pointer moves over) and calls what its ListRows says.
//
// Keys, while the list itself has the focus: Up and Down, Home and End, Page Up and Page Down
// move the place (a page is what the list shows of itself); Enter activates the row, Space
// toggles it, the Menu key and Shift+F10 open its menu, as does a context menu event the desktop
// sends for the keyboard (QContextMenuEvent::Keyboard): always the current row's, placed at that
// row, and none without one. Escape, also from a control inside the list, closes what the list
// says is open, ahead of the window's own Escape. A row's ring shows on the current row while
// the list has the focus (the widget draws it: see showsRing()).
//
// The pointer: a press and a release over the same row (by identity) click it; a double click
// acts only on the row of the click before it; the right button opens the row's menu.
//
// Identity: after the rows change the widget calls rowsChanged(); the place stays on the row with
// the same key, or, when that row is gone, on the row that now stands where it was. The place is
// never scrolled by a refresh. A child of the list widget; main thread only.
//
// Ownership: the list widget's own class holds it in a std::unique_ptr member, so that it goes
// with that part of the widget. Its callbacks reach into that part, and the base class's
// destructor still sends the list events (focus out, leave) that it would otherwise filter.
class RowList : public QObject {
    Q_OBJECT
public:
    // `pointer` is where the rows of `list` lie (the list, or its viewport); `rows` must have its
    // count, rect and key. The behaviour is a child of `list`.
    RowList(QWidget* list, QWidget* pointer, ListRows rows);

    // The behaviour of `list`, or null for a widget that is no list.
    static RowList* of(const QWidget* list);

    // The row under the pointer, or -1.
    int hoverRow() const { return hover_; }
    // The widget the rows lie in, and the row at `pos` in its coordinates, or -1.
    QWidget* pointer() const { return pointer_; }
    int rowAt(QPointF pos) const;
    // The keyboard's place, or -1 (no rows).
    int currentRow() const { return current_; }
    // Whether the ring goes on `row`: the current row of a list that has the focus.
    bool showsRing(int row) const;
    // Moves the place to `row` (clamped to the rows; -1 without rows) and scrolls it into view;
    // without `announce` the list's `moved` is not called (the list follows a selection made elsewhere).
    void setCurrentRow(int row, bool announce = false);
    // The place on the row whose key is `key`, if there is one. Whether there was.
    bool setCurrentKey(const QString& key);
    QString currentKey() const { return currentKey_; }
    // Forgets the place: the list starts again at its first row (another folder, another list).
    void reset();
    // The rows changed: the place and the hover follow their rows' keys.
    void rowsChanged();
    // Brings `row` into view: an item view scrolls to it, any other list in the scroll area
    // around it.
    void scrollToRow(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool key(QKeyEvent* event);
    // The current row's menu at its anchor; nothing without a current row.
    void openMenu();
    int rows() const { return rows_.count(); }
    QRectF rectOf(int row) const { return rows_.rect(row); }
    QString keyOf(int row) const { return rows_.key(row); }
    void setHover(int row);
    void repaintRow(int row);
    int pageRows() const;

    QWidget* list_;
    QWidget* pointer_;
    ListRows rows_;
    int hover_ = -1;
    int current_ = -1;
    QString currentKey_;
    QString hoverKey_;
    int place_ = -1;        // where the place was, kept while the list has no rows
    QString pressedKey_;    // the row under the left button's press
    QString clickedKey_;    // the row of the last click, for a double click
};

}  // namespace tamrel
