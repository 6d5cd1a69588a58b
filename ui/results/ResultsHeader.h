#pragma once

#include <QLineEdit>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "model/app/AppModel.h"
#include "ui/results/CrumbMotion.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/FieldRing.h"
#include "ui/theme/KeyboardFocus.h"
#include "ui/theme/SpringAnimator.h"

class QAbstractButton;

namespace tamrel {

// The path bar: the up-a-folder key and the crumbs of the explored folder (the root, an
// ellipsis and the last three when it lies 5 or more folders deep). A crumb opens its folder.
// Shows nothing without an index. When the explored folder changes, the crumbs glide and fade
// to their new places and the up key to its new opacity on the folder spring (0.35 s, damping
// 0.75).
//
// From the keyboard: the up key takes the focus with Tab, then the crumbs (the current folder's
// to begin with), where Left, Right, Home and End move between them and Enter or Space opens
// the one with the ring.
class Breadcrumbs : public QWidget, public FocusPart {
    Q_OBJECT
public:
    explicit Breadcrumbs(AppModel& model, QWidget* parent = nullptr);

    // The crumbs shown, NONE standing for the ellipsis, and their texts.
    const std::vector<NodeId>& crumbs() const { return crumbs_; }
    QStringList crumbTexts() const;
    // Where crumb k lies once settled, in this widget's coordinates.
    QRectF crumbRect(int k) const;
    // What is drawn now (while the crumbs move: both the leaving and the coming ones).
    std::vector<CrumbDraw> drawnCrumbs() const;
    QAbstractButton& upKey() { return *up_; }
    // The up key's opacity now: 1, or 0.4 at the root; it moves on the folder spring.
    double upKeyOpacity() const { return upOpacity_.value(); }
    QSize sizeHint() const override;
    QRect focusPart() const override;
    // The crumb with the keyboard's place (an index into crumbs()), or -1.
    int focusCrumb() const { return focusCrumb_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Reads the model again; with `animate` (the explored folder changed) the bar moves there.
    void refresh(bool animate);
    QString textOf(NodeId node) const;
    QFont fontOf(const CrumbLook& look) const;
    // The crumbs laid out in `room` points of width (the up key included).
    std::vector<CrumbLook> layOut(double room) const;
    // The width the bar has been given, or no limit before it has been placed.
    double room() const;

    AppModel& model_;
    QAbstractButton* up_;
    std::vector<NodeId> crumbs_;
    std::vector<CrumbLook> looks_;  // the crumbs as laid out now
    std::vector<CrumbLook> from_;   // as they were when the folder last changed
    SpringAnimator motion_{1};      // 0 at from_, 1 at looks_
    SpringAnimator upOpacity_{1};
    int focusCrumb_ = -1;
};

// The search box: its text is the model's query (every keystroke goes to the model, which
// waits 60 ms and searches), the prompt names the folder searched, and on the right the
// "Ctrl+F" hint or, while there is a query, the number of results held and a clear button
// (reached with Tab after the text; Space clears).
class SearchField : public QWidget {
    Q_OBJECT
public:
    explicit SearchField(AppModel& model, QWidget* parent = nullptr);
    QLineEdit& edit() { return *edit_; }
    QAbstractButton& clearKey() { return *clear_; }
    // The text on the right: the hint, or the count.
    QString trailingText() const;
    QRectF clearRect() const;
    // How far the orange focus ring has faded in: 0 without focus, 1 with (eased over 0.15 s).
    double ringOpacity() const { return ring_->opacity(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void refresh();

    AppModel& model_;
    QLineEdit* edit_;
    QAbstractButton* clear_;
    FieldRing* ring_;
};

// Selects `tab` as a step animated with `spring` (a pressed tab, a key of a screen that leads to
// another tab): the tab keys and the results screen's content switch on that spring. A tab set
// by any other write switches on the model's spring for that step, or at once without one.
void selectTab(AppModel& model, Tab tab, Spring spring);
// The spring of the selectTab() call whose change is being announced, or nothing outside one.
std::optional<Spring> tabSelectionSpring();

// The row of key-shaped tabs; the selected one is pressed down.
class TabPicker : public QWidget {
    Q_OBJECT
public:
    explicit TabPicker(AppModel& model, QWidget* parent = nullptr);
    QRectF tabRect(Tab tab) const;
    QSize sizeHint() const override;
    // How far tab's key is pressed into its selected look: 1 selected, 0 not, moving on the
    // tab spring (0.25 s, damping 0.7) when the tab changes.
    double selectedAmount(Tab tab) const { return selected_[std::size_t(tab)]->value(); }
    // The spring of a pressed tab.
    static constexpr Spring tabSpring{0.25, 0.7};

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // With the keyboard focus (reached with Tab): Left and Right select the tab beside the
    // selected one, Home and End the first and the last; a ring marks the selected tab.
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void followTab();

    AppModel& model_;
    std::array<std::unique_ptr<SpringAnimator>, 5> selected_;
};

}  // namespace tamrel
