#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QWidget;

namespace tamrel {

// The controls below `root` that Tab reaches (shown, enabled, taking the focus with Tab), in
// reading order. Siblings are read in rows from the top: a sibling joins the row of those read
// before it while its top lies above that row's bottom (so a tall column beside others forms
// one row with them), each row from the left, and the controls inside each sibling where it
// stands. A control that takes the focus for a part of itself (FocusPart) stands where that part
// lies among its own children; any other stands before them. Windows of their own (menus,
// dialogs, popups) are not read.
std::vector<QWidget*> readingOrder(QWidget* root);

// Moves the keyboard focus from `from` (by default the focused control) to the next (or, with
// `forward` false, the previous) control of `order`, round from the last to the first, and
// scrolls it into view in the scroll areas it lies in. From a control not in `order` it goes to
// the first (the last). False when `order` is empty.
bool moveFocusAlong(const std::vector<QWidget*>& order, bool forward, QWidget* from = nullptr);

// Where the keyboard starts on a screen that has just come: its first list in reading order (a
// widget with a RowList, which puts the place on its current row), else its first control; null
// when it has none.
QWidget* entryControl(QWidget* screen);
// Gives the focus to entryControl(screen), scrolled into view. False when there is none.
bool focusEntry(QWidget* screen);

// Of `controls`, the one nearest to `place` (all in one widget's coordinates): one that holds
// the centre of `place` (the smallest of those), else the one whose edge is nearest to it.
// Null when `controls` is empty. `at(c)` gives each control's rectangle.
QWidget* nearestControl(const std::vector<QWidget*>& controls, QRect place,
                        const std::function<QRect(QWidget*)>& at);

// Carries the keyboard focus across a rebuild of a screen's parts (cards made anew for a new
// report or plan): made before the parts go, it remembers which part held the focus, by the
// object names of the widgets from `container` down to it (names the screens give: "bucket
// caches", "look", ...), and for a list the key of its current row. restore() gives the focus to
// the part of the same names among the new ones, its list's place on the same row, and says
// whether it found it; where it did not, the window hands the focus to the nearest control.
class FocusCarry {
public:
    explicit FocusCarry(const QWidget* container);
    // The focus lay inside the container when this was made.
    bool carries() const { return !names_.isEmpty(); }
    bool restore(const QWidget* container) const;

private:
    QStringList names_;  // outermost first
    QString rowKey_;
};

}  // namespace tamrel
