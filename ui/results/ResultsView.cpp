#include "ui/results/ResultsView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "ui/results/BinTray.h"
#include "ui/results/Confirmation.h"
#include "ui/results/ExploreView.h"
#include "ui/results/ListScreens.h"
#include "ui/results/ResultsHeader.h"
#include "ui/results/ResultsMetrics.h"
#include "ui/results/ResultsPaint.h"
#include "ui/results/ResultsText.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/Palette.h"
#include "ui/theme/ReadingOrder.h"
#include "ui/tools/AppsView.h"
#include "ui/tools/CleanView.h"
#include "ui/tools/SystemDataView.h"
#include "ui/tools/ToolsBusy.h"

namespace tamrel {
namespace {

// A still picture of the screen that leaves the content area, drawn over the one that comes
// in at the opacity the switch has reached: the two cross-fade.
class LeavingScreen : public QWidget {
public:
    explicit LeavingScreen(const SpringAnimator& switching, QWidget* parent)
        : QWidget(parent), switching_(switching) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }
    void start(QPixmap picture) {
        picture_ = std::move(picture);
        show();
        raise();
    }
    void stop() {
        hide();
        picture_ = QPixmap();
    }
    double opacity() const {
        return isVisible() ? std::clamp(1 - switching_.value(), 0.0, 1.0) : 0.0;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setOpacity(opacity());
        painter.drawPixmap(0, 0, picture_);
    }

private:
    const SpringAnimator& switching_;
    QPixmap picture_;
};

}  // namespace

ResultsView::ResultsView(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      crumbs_(new Breadcrumbs(model, this)),
      search_(new SearchField(model, this)),
      rescan_(new RoundKey(QStringLiteral("arrow.clockwise"), kRescanKey, this)),
      tabs_(new TabPicker(model, this)),
      content_(new QStackedWidget(this)),
      explore_(new ExploreView(model)),
      biggest_(new BiggestView(model)),
      results_(new SearchResultsView(model)),
      tray_(nullptr),
      toast_(nullptr),
      leaving_(nullptr) {
    rescan_->setToolTip(QStringLiteral("Read everything again from scratch (Ctrl+R)"));
    connect(rescan_, &QAbstractButton::clicked, &model_, &AppModel::rescan);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(kScreenSide, kResultsHeaderTop, kScreenSide, 0);
    header->setSpacing(kResultsHeaderGap);
    header->addWidget(crumbs_, 0, Qt::AlignVCenter);
    // A spacer of at least the gap with the gap on both of its sides; a box layout puts its
    // spacing only between widgets, so the spacer's far side is added here.
    header->addStretch(1);
    header->addSpacing(2 * kResultsHeaderGap);
    header->addWidget(search_, 0, Qt::AlignVCenter);
    header->addWidget(rescan_, 0, Qt::AlignVCenter);
    auto* headerBox = new QWidget(this);
    headerBox->setLayout(header);
    headerBox->setFixedHeight(kResultsHeaderHeight);
    column->addWidget(headerBox);

    auto* tabRow = new QHBoxLayout;
    tabRow->setContentsMargins(kScreenSide, kTabRowTop, kScreenSide, kTabRowBottom);
    tabRow->addWidget(tabs_);
    tabRow->addStretch(1);
    column->addLayout(tabRow);
    column->addWidget(content_, 1);

    screens_ = {explore_, new SystemDataView(model), biggest_, new CleanView(model),
                new AppsView(model)};
    for (QWidget* screen : screens_)
        content_->addWidget(screen);
    content_->addWidget(results_);

    leaving_ = new LeavingScreen(switching_, this);
    connect(&switching_, &SpringAnimator::valueChanged, leaving_, qOverload<>(&QWidget::update));
    connect(&switching_, &SpringAnimator::settled, leaving_,
            [this] { static_cast<LeavingScreen*>(leaving_)->stop(); });

    // Over the content: the tray at the foot, the toast at the top.
    tray_ = new BinTray(model, this);
    toast_ = new ToastView(model, this);

    // Keyboard: Ctrl+F into the search field, Ctrl+Up (or Alt+Up) a folder up, Escape clears
    // the query.
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(find, &QShortcut::activated, this,
            [this] { search_->edit().setFocus(Qt::ShortcutFocusReason); });
    // Alt+Up too, the "up a folder" of the desktop's file managers.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Up), QKeySequence(Qt::ALT | Qt::Key_Up)}) {
        auto* up = new QShortcut(keys, this);
        connect(up, &QShortcut::activated, &model_, &AppModel::up);
    }
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        const bool inField = search_->isAncestorOf(QApplication::focusWidget());
        model_.setQuery(QString());  // also when already empty: the scheduling runs again
        // Out of the field, on to the screen below it.
        if (inField) focusEntry(content_->currentWidget());
    });

    connect(&model_.query, &PropertyNotifier::changed, this, &ResultsView::showContent);
    connect(&model_.tab, &PropertyNotifier::changed, this, &ResultsView::showContent);
    confirm_ = new Confirmation(
        this, model_, model_.confirmTrash, [this](bool on) { model_.setConfirmTrash(on); },
        {QStringLiteral("Move to Trash"), QStringLiteral("Move to Trash"),
         [this] { return confirmTrashTitle(model_.basket().size(), model_.basketSize()); },
         [] {
             return QStringLiteral(
                 "You can still put things back from the Trash until you empty it.");
         }},
        [this] {
            // The basket is always of the shown generation (a live refresh adopted while the
            // question was open carries it over by path), so what it holds now is what moves.
            if (model_.index() && !model_.removalBusy()) model_.trash(model_.basket(), {});
        });
    connect(&model_.basket, &PropertyNotifier::changed, confirm_, &Confirmation::refresh);
    showContent();
}

void ResultsView::setTabScreen(Tab tab, QWidget* screen) {
    QWidget*& slot = screens_[std::size_t(tab)];
    const int at = content_->indexOf(slot);
    content_->insertWidget(at, screen);
    content_->removeWidget(slot);
    if (slot != explore_ && slot != biggest_) slot->deleteLater();
    slot = screen;
    showContent();
}

QWidget* ResultsView::tabScreen(Tab tab) const {
    return screens_[std::size_t(tab)];
}

QWidget* ResultsView::shownContent() const {
    return content_->currentWidget();
}

double ResultsView::leavingOpacity() const {
    return static_cast<LeavingScreen*>(leaving_)->opacity();
}

void ResultsView::showContent() {
    // Any query, even a single blank, shows the search results whatever the tab.
    QWidget* next = model_.query().isEmpty() ? screens_[std::size_t(model_.tab())] : results_;
    QWidget* shown = content_->currentWidget();
    if (next == shown) return;
    // A selected tab switches on its spring, a step of the model on the model's; the query's
    // switch has neither and is at once.
    const std::optional<Spring> spring =
        tabSelectionSpring() ? tabSelectionSpring() : model_.animation();
    auto* leaving = static_cast<LeavingScreen*>(leaving_);
    if (spring && shown && content_->isVisible() && !SpringAnimator::instant()) {
        leaving->setGeometry(content_->geometry());
        leaving->start(shown->grab());
        tray_->raise();
        toast_->raise();
        switching_.setValue(0);
        switching_.animateTo(1, *spring);
    } else {
        switching_.setValue(1);
        leaving->stop();
    }
    // The focus on the screen that goes starts on the one that comes, not on whatever control
    // the stack or the window would hand it to.
    QWidget* focused = QApplication::focusWidget();
    const bool focusLeaves = shown && focused && shown->isAncestorOf(focused);
    if (focusLeaves) focused->clearFocus();
    content_->setCurrentWidget(next);
    if (focusLeaves) focusEntry(next);
}

void ResultsView::placeOverlays() {
    tray_->resize(tray_->sizeHint());
    tray_->place();
    tray_->raise();
    toast_->resize(toast_->sizeHint());
    toast_->place();
    toast_->raise();
}

void ResultsView::resizeEvent(QResizeEvent*) {
    // A picture of the old size would no longer cover the content: the switch ends here.
    switching_.setValue(1);
    static_cast<LeavingScreen*>(leaving_)->stop();
    placeOverlays();
}

}  // namespace tamrel
