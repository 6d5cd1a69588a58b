#pragma once

#include <QWidget>

#include "model/app/AppModel.h"

class QLineEdit;
class QScrollArea;
class QToolButton;

namespace tamrel {

class AppRows;
class FieldRing;

// The list card: the filter field (bound both ways to appFilter; the search field's orange ring
// while it has the focus), the sort menu (opened by a click, Space or Enter) and the rows.
class AppList : public QWidget {
    Q_OBJECT
public:
    explicit AppList(AppModel& model, QWidget* parent = nullptr);
    QLineEdit& filter() { return *filter_; }
    QToolButton& sortButton() { return *sort_; }
    const FieldRing& filterRing() const { return *ring_; }
    AppRows& rows() { return *rows_; }
    void refresh(bool current);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    void refreshSortMenu();

    AppModel& model_;
    QLineEdit* filter_;
    FieldRing* ring_;
    QToolButton* sort_;
    QScrollArea* scroll_;
    AppRows* rows_;
};

}  // namespace tamrel
