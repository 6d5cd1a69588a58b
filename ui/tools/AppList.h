#pragma once

#include <QWidget>

#include "model/app/AppModel.h"

class QLineEdit;
class QScrollArea;
class QToolButton;

namespace tamrel {

class AppRows;

// The list card: the filter field (bound both ways to appFilter), the sort menu and the rows.
class AppList : public QWidget {
    Q_OBJECT
public:
    explicit AppList(AppModel& model, QWidget* parent = nullptr);
    QLineEdit& filter() { return *filter_; }
    QToolButton& sortButton() { return *sort_; }
    AppRows& rows() { return *rows_; }
    void refresh(bool current);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    void refreshSortMenu();

    AppModel& model_;
    QLineEdit* filter_;
    QToolButton* sort_;
    QScrollArea* scroll_;
    AppRows* rows_;
};

}  // namespace tamrel
