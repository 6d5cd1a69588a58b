#include "ui/tools/AppList.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolButton>
#include <algorithm>
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/FieldRing.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/KeyboardFocus.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Panel.h"
#include "ui/tools/AppsMetrics.h"
#include "ui/tools/ToolsPaint.h"
#include "ui/tools/ToolsText.h"
#include "ui/tools/AppRows.h"

namespace tamrel {

namespace {

// The sort menu's button, with the focus ring of every key instead of the style's own.
class SortButton : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionToolButton option;
        initStyleOption(&option);
        option.state &= ~QStyle::State_HasFocus;
        painter.drawComplexControl(QStyle::CC_ToolButton, option);
        if (hasFocus()) paintFocusRing(painter, roundedShape(QRectF(rect()), kAppSortRingRadius));
    }
    // Enter opens the menu as Space and a click do.
    void keyPressEvent(QKeyEvent* event) override {
        if (opensEntry(*event) && !event->isAutoRepeat()) {
            showMenu();
            return;
        }
        QToolButton::keyPressEvent(event);
    }
};

}  // namespace

// ---- List card

AppList::AppList(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      filter_(new QLineEdit(this)),
      ring_(new FieldRing(filter_, this)),
      sort_(new SortButton(this)),
      scroll_(new QScrollArea(this)),
      rows_(new AppRows(model, nullptr)) {
    filter_->setFrame(false);
    filter_->setPlaceholderText(QStringLiteral("Filter apps"));
    filter_->setFont(Fonts::field.font());
    filter_->setText(model_.appFilter());
    QPalette pal = filter_->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, Color::ink);
    pal.setColor(QPalette::PlaceholderText, Color::ink3);
    filter_->setPalette(pal);
    connect(filter_, &QLineEdit::textEdited, &model_, &AppModel::setAppFilter);
    connect(&model_.appFilter, &PropertyNotifier::changed, this, [this] {
        if (filter_->text() != model_.appFilter()) filter_->setText(model_.appFilter());
    });

    sort_->setAutoRaise(true);
    sort_->setPopupMode(QToolButton::InstantPopup);
    sort_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    {
        const QSize icon(kAppSortIcon, kAppSortIcon);
        QPixmap glyph(icon * kAppSortIconScale);
        glyph.setDevicePixelRatio(kAppSortIconScale);
        glyph.fill(Qt::transparent);
        QPainter p(&glyph);
        paintSymbol(p, QRectF(QPointF(0, 0), icon), QStringLiteral("arrow.up.arrow.down"),
                    kAppSortPoints, Color::ink);
        p.end();
        sort_->setIcon(QIcon(glyph));
        sort_->setIconSize(icon);
    }
    sort_->setFont(Fonts::label.font());
    sort_->setMenu(new QMenu(sort_));
    connect(&model_.appSort, &PropertyNotifier::changed, this, &AppList::refreshSortMenu);
    // "Last used" is offered only while some application's last use is known.
    connect(&model_.apps, &PropertyNotifier::changed, this, &AppList::refreshSortMenu);
    refreshSortMenu();

    setBareContent(*scroll_, rows_, true);
}

void AppList::refreshSortMenu() {
    // The label: the symbol glyph then the sort's name.
    sort_->setText(rawValue(model_.appSort()));
    QMenu* menu = sort_->menu();
    menu->clear();
    for (AppSort sort : offeredAppSorts(model_.apps(), model_.appSort())) {
        QAction* action = menu->addAction(rawValue(sort));
        action->setCheckable(true);
        action->setChecked(sort == model_.appSort());
        connect(action, &QAction::triggered, this, [this, sort] { model_.setAppSort(sort); });
    }
    resizeEvent(nullptr);
}

void AppList::refresh(bool current) {
    AppRefs apps = current ? model_.sortedApps() : AppRefs{};
    rows_->setApps(std::move(apps), model_.appsLoading() && (model_.apps().empty() || !current));
}

void AppList::resizeEvent(QResizeEvent*) {
    const QSize sortSize = sort_->sizeHint();
    const int headerH = kAppListHeader;
    sort_->setGeometry(width() - kAppFieldInset - sortSize.width(),
                       (headerH - sortSize.height()) / 2, sortSize.width(), sortSize.height());
    const int fieldRight = sort_->x() - kAppFieldSortGap;
    // The text starts after the magnifier and stops as far from the field's end as the
    // magnifier stands from its start.
    const int textInset = kAppMagnifierInset + kAppMagnifierWidth + kAppMagnifierGap;
    filter_->setGeometry(kAppFieldInset + textInset, kAppFieldInset,
                         std::max(0, fieldRight - kAppFieldInset - textInset - kAppMagnifierInset),
                         kAppFieldHeight);
    scroll_->setGeometry(1, headerH + 1, width() - 2,
                         std::max(0, height() - headerH - 1 - kAppListFoot));
}

void AppList::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), kCardRadius);
    const QRectF field(kAppFieldInset, kAppFieldInset,
                       sort_->x() - kAppFieldSortGap - kAppFieldInset, kAppFieldHeight);
    p.setPen(Qt::NoPen);
    p.setBrush(Color::fieldFill);
    p.drawPath(roundedShape(field, kAppFieldRadius));
    ring_->paint(p, field, kAppFieldRadius);
    paintSymbol(
        p,
        QRectF(field.left() + kAppMagnifierInset, field.top(), kAppMagnifierWidth, field.height()),
        QStringLiteral("magnifyingglass"), kAppMagnifierPoints, Color::ink3);
    p.fillRect(QRectF(0, kAppListHeader, width(), 1), Color::line);
}

}  // namespace tamrel
