#pragma once

#include <QLineEdit>
#include <QWidget>

#include <vector>

#include "model/app/AppModel.h"

class QAbstractButton;

namespace tamrel {

// The path bar: the up-a-folder key and the crumbs of the explored folder (the root, an
// ellipsis and the last three when it lies 5 or more folders deep). A crumb opens its folder.
// Shows nothing without an index.
class Breadcrumbs : public QWidget {
    Q_OBJECT
public:
    explicit Breadcrumbs(AppModel& model, QWidget* parent = nullptr);

    // The crumbs shown, NONE standing for the ellipsis, and their texts.
    const std::vector<NodeId>& crumbs() const { return crumbs_; }
    QStringList crumbTexts() const;
    // Where crumb k lies, in this widget's coordinates.
    QRectF crumbRect(int k) const;
    QAbstractButton& upKey() { return *up_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void refresh();
    QString textOf(NodeId node) const;
    QFont fontOf(NodeId node) const;
    // The width of each crumb's text, elided to at most 220 pt.
    double textWidth(int k) const;

    AppModel& model_;
    QAbstractButton* up_;
    std::vector<NodeId> crumbs_;
};

// The search box: its text is the model's query (every keystroke goes to the model, which
// waits 60 ms and searches), the prompt names the folder searched, and on the right the
// "Ctrl+F" hint or, while there is a query, the number of results held and a clear button.
class SearchField : public QWidget {
    Q_OBJECT
public:
    explicit SearchField(AppModel& model, QWidget* parent = nullptr);
    QLineEdit& edit() { return *edit_; }
    // The text on the right: the hint, or the count.
    QString trailingText() const;
    QRectF clearRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();

    AppModel& model_;
    QLineEdit* edit_;
};

// The row of key-shaped tabs; the selected one is pressed down.
class TabPicker : public QWidget {
    Q_OBJECT
public:
    explicit TabPicker(AppModel& model, QWidget* parent = nullptr);
    QRectF tabRect(Tab tab) const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    AppModel& model_;
};

}  // namespace tamrel
