#pragma once

#include <QWidget>

#include <array>

#include "model/app/AppModel.h"
#include "ui/results/Confirmation.h"
#include "ui/theme/SpringAnimator.h"

class QAbstractButton;
class QMessageBox;
class QStackedWidget;

namespace tamrel {

class BiggestView;
class BinTray;
class Breadcrumbs;
class ExploreView;
class SearchField;
class SearchResultsView;
class TabPicker;
class ToastView;

// The screen of a shown index: the path bar, the search field and the rescan key; the tabs; the
// content (the search results while there is a query, otherwise the selected tab's screen); the
// basket tray and the toast over the content; Ctrl+F, Ctrl+Up (and Alt+Up) and Escape (the query
// cleared, and from the search field on to the content's first list); and the confirmation that
// moves the basket to the Trash, open while the model's confirmTrash is true (both ways). When
// the content changes while the focus is on it, the new content's first list takes the focus.
//
// Each tab's screen can be replaced with setTabScreen().
class ResultsView : public QWidget {
    Q_OBJECT
public:
    explicit ResultsView(AppModel& model, QWidget* parent = nullptr);

    // Puts `screen` (owned by this view from now on) in place of the tab's current screen.
    void setTabScreen(Tab tab, QWidget* screen);
    QWidget* tabScreen(Tab tab) const;
    // What the content area shows now.
    QWidget* shownContent() const;
    // While the content switches on a spring (a tab pressed, a folder opened from a search),
    // the opacity of the picture of the screen that leaves, drawn over the one that comes in;
    // 0 when nothing leaves. A switch without a spring (typing a query) is at once.
    double leavingOpacity() const;

    Breadcrumbs& breadcrumbs() { return *crumbs_; }
    SearchField& searchField() { return *search_; }
    TabPicker& tabPicker() { return *tabs_; }
    QAbstractButton& rescanKey() { return *rescan_; }
    ExploreView& explore() { return *explore_; }
    BiggestView& biggest() { return *biggest_; }
    SearchResultsView& searchResults() { return *results_; }
    BinTray& tray() { return *tray_; }
    ToastView& toast() { return *toast_; }
    // The open Trash confirmation, or null.
    QMessageBox* confirmation() const { return confirm_->box(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showContent();
    void placeOverlays();

    AppModel& model_;
    Breadcrumbs* crumbs_;
    SearchField* search_;
    QAbstractButton* rescan_;
    TabPicker* tabs_;
    QStackedWidget* content_;
    std::array<QWidget*, 5> screens_{};
    ExploreView* explore_;
    BiggestView* biggest_;
    SearchResultsView* results_;
    BinTray* tray_;
    ToastView* toast_;
    Confirmation* confirm_;
    QWidget* leaving_;             // the picture of the screen that fades out
    SpringAnimator switching_{1};  // 0 when a switch begins, 1 when it is done
};

}  // namespace tamrel
