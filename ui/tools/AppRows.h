#pragma once

#include <memory>

#include <QWidget>

#include "model/app/AppModel.h"
#include "ui/theme/RowList.h"

namespace tamrel {

// The application rows of the list: icon, name, use line, total and leftover data, the selected
// one drawn as a raised warm key. A click selects (again) through AppModel::selectApp. Only the
// rows inside the repainted region are drawn. It behaves as every list (RowList; it takes the
// focus with Tab) with one selection: the keyboard's place is the selected application, so the
// arrows select as they move, and Enter or Space select the row again.
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
    // The list's behaviour: the row under the pointer and the keyboard's place.
    RowList& rowList() const { return *rowList_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    // The row of the selected application, or -1.
    int selectedRow() const;
    void select(int row);

    AppModel& model_;
    AppRefs apps_;
    // Gone before the base class is (see RowList).
    std::unique_ptr<RowList> rowList_;
    class BusySpinner* spinner_;
};

}  // namespace tamrel
