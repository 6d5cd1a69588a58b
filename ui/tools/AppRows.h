#pragma once

#include <QWidget>

#include <optional>

#include "model/app/AppModel.h"

namespace tamrel {

// The application rows of the list: icon, name, use line, total and leftover data, the selected
// one drawn as a raised warm key. A click selects (again) through AppModel::selectApp. Only the
// rows inside the repainted region are drawn. From the keyboard (it takes the focus with Tab,
// its place on the selected row to begin with): Up, Down, Home, End, Page Up and Page Down move
// between rows, Enter or Space selects the row.
class AppRows : public QWidget {
    Q_OBJECT
public:
    explicit AppRows(AppModel& model, QWidget* parent = nullptr);
    // The applications shown, in order (AppModel::sortedApps, or none while the inventory is of
    // another generation).
    void setApps(AppRefs apps, bool spinner);
    const AppRefs& apps() const { return apps_; }
    QRect rowRect(std::size_t row) const;
    static double rowHeight();
    // The row with the keyboard's place, or -1.
    int focusRow() const { return focusRow_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;

private:
    std::optional<std::size_t> rowAt(QPointF pos) const;
    void setFocusRow(int row);

    AppModel& model_;
    AppRefs apps_;
    std::optional<std::size_t> hover_;
    int focusRow_ = -1;
    class BusySpinner* spinner_;
};

}  // namespace tamrel
