#include "ui/theme/ReadingOrder.h"

#include <QApplication>
#include <QScrollArea>
#include <QWidget>

#include <algorithm>

#include "ui/theme/KeyboardFocus.h"
#include "ui/theme/RowList.h"

namespace tamrel {
namespace {

bool takesTab(const QWidget* w) {
    return (w->focusPolicy() & Qt::TabFocus) && w->isEnabled();
}

// One thing to read at a level: a child widget, or the focus part of the widget itself.
struct Entry {
    QRect rect;
    QWidget* widget;
    bool self;  // the parent's own stop
};

void read(QWidget* parent, std::vector<QWidget*>& out) {
    std::vector<Entry> entries;
    const auto* part = dynamic_cast<const FocusPart*>(parent);
    bool selfPlaced = false;
    if (part && takesTab(parent)) {
        entries.push_back({part->focusPart(), parent, true});
        selfPlaced = true;
    }
    for (QObject* object : parent->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child->isWindow() || child->isHidden()) continue;
        entries.push_back({child->geometry(), child, false});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.rect.top() < b.rect.top();
    });
    // Rows: a sibling whose top lies above the bottom of the row so far joins it.
    std::vector<std::vector<Entry>> rows;
    int rowBottom = 0;
    for (const Entry& e : entries) {
        if (rows.empty() || e.rect.top() >= rowBottom) {
            rows.emplace_back();
            rowBottom = e.rect.bottom() + 1;
        }
        rows.back().push_back(e);
        rowBottom = std::max(rowBottom, e.rect.bottom() + 1);
    }
    if (!selfPlaced && takesTab(parent)) out.push_back(parent);
    for (std::vector<Entry>& row : rows) {
        std::stable_sort(row.begin(), row.end(), [](const Entry& a, const Entry& b) {
            return a.rect.left() != b.rect.left() ? a.rect.left() < b.rect.left()
                                                  : a.rect.top() < b.rect.top();
        });
        for (const Entry& e : row) {
            if (e.self) {
                out.push_back(e.widget);
            } else {
                read(e.widget, out);
            }
        }
    }
}

// Scrolls `control` into view in the scroll areas it lies in.
void scrollIntoView(QWidget* control) {
    for (QWidget* w = control->parentWidget(); w && !w->isWindow(); w = w->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(w); area && area->widget())
            area->ensureWidgetVisible(control, 0, 24);
    }
}

}  // namespace

std::vector<QWidget*> readingOrder(QWidget* root) {
    std::vector<QWidget*> out;
    if (root) read(root, out);
    return out;
}

bool moveFocusAlong(const std::vector<QWidget*>& order, bool forward, QWidget* from) {
    if (order.empty()) return false;
    const int n = int(order.size());
    // The focused control, or the one it lies in (a viewport, an editor's own parts).
    int at = -1;
    for (QWidget* w = from ? from : QApplication::focusWidget(); w && at < 0 && !w->isWindow();
         w = w->parentWidget()) {
        const auto it = std::find(order.begin(), order.end(), w);
        if (it != order.end()) at = int(it - order.begin());
    }
    const int next = at < 0 ? (forward ? 0 : n - 1) : (at + (forward ? 1 : n - 1)) % n;
    QWidget* target = order[std::size_t(next)];
    target->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    scrollIntoView(target);
    return true;
}

QWidget* entryControl(QWidget* screen) {
    const std::vector<QWidget*> order = readingOrder(screen);
    const auto list = std::find_if(order.begin(), order.end(),
                                   [](QWidget* w) { return RowList::of(w) != nullptr; });
    if (list != order.end()) return *list;
    return order.empty() ? nullptr : order.front();
}

bool focusEntry(QWidget* screen) {
    QWidget* entry = entryControl(screen);
    if (!entry) return false;
    entry->setFocus(Qt::OtherFocusReason);
    scrollIntoView(entry);
    return true;
}

QWidget* nearestControl(const std::vector<QWidget*>& controls, QRect place,
                        const std::function<QRect(QWidget*)>& at) {
    const QPoint centre = place.center();
    QWidget* best = nullptr;
    std::pair<long long, long long> bestScore{0, 0};
    for (QWidget* control : controls) {
        const QRect r = at(control);
        // How far the centre lies outside the control (0 inside), then its size.
        const long long dx = std::max({r.left() - centre.x(), 0, centre.x() - r.right()});
        const long long dy = std::max({r.top() - centre.y(), 0, centre.y() - r.bottom()});
        const std::pair<long long, long long> score{dx * dx + dy * dy,
                                                    (long long)r.width() * r.height()};
        if (!best || score < bestScore) {
            best = control;
            bestScore = score;
        }
    }
    return best;
}

FocusCarry::FocusCarry(const QWidget* container) {
    QWidget* focused = QApplication::focusWidget();
    if (!container || !focused || !container->isAncestorOf(focused)) return;
    if (const RowList* list = RowList::of(focused)) rowKey_ = list->currentKey();
    // Qt's own parts (a scroll area's viewport) are found again without their names.
    for (QWidget* w = focused; w && w != container; w = w->parentWidget()) {
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            names_.prepend(w->objectName());
    }
}

bool FocusCarry::restore(const QWidget* container) const {
    if (names_.isEmpty() || !container) return false;
    QWidget* part = nullptr;
    for (const QString& name : names_) {
        part = (part ? static_cast<const QObject*>(part) : container)->findChild<QWidget*>(name);
        if (!part) return false;
    }
    if (!part->isVisibleTo(container->window()) || !part->isEnabled() ||
        !(part->focusPolicy() & Qt::TabFocus))
        return false;
    if (RowList* list = RowList::of(part); list && !rowKey_.isEmpty()) list->setCurrentKey(rowKey_);
    part->setFocus(Qt::OtherFocusReason);
    return true;
}

}  // namespace tamrel
