#include "ui/results/BinTray.h"

#include <QAbstractButton>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "format/Fmt.h"
#include "ui/results/BinList.h"
#include "ui/results/BinTrayMetrics.h"
#include "ui/results/ResultsPaint.h"
#include "ui/results/ResultsText.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/LED.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/Screen.h"
#include "ui/theme/ShownText.h"
#include "ui/theme/SizeText.h"

namespace tamrel {
namespace {

// The tray comes and goes with the step that filled or emptied the basket (a pick, a move to
// the Trash); "Clear" empties it on a spring of its own, without overshoot.
constexpr Spring clearSpring{0.5, 1.0};
// A toast comes and goes with the model's step that set or replaced it (the end of a move to
// the Trash or of an uninstall); the card's own dismissal after 3.2 s has this spring.
constexpr Spring toastSpring{0.4, 0.8};

void paintShadow(QPainter& painter, const QRectF& panel, double radius, PanelShadow shadow) {
    // A soft shadow as a few widening, fading rounded rectangles.
    painter.save();
    painter.setPen(Qt::NoPen);
    const int steps = 6;
    for (int k = steps; k >= 1; --k) {
        const double grow = shadow.blur * k / steps;
        painter.setBrush(QColor(0, 0, 0, int(255 * shadow.alpha / steps)));
        painter.drawRoundedRect(
            panel.translated(0, shadow.dy).adjusted(-grow / 2, -grow / 2, grow / 2, grow / 2),
            radius + grow / 2, radius + grow / 2);
    }
    painter.restore();
}

// The panel of the tray or a toast in the widget's rectangle, less the shadow's room.
QRectF panelIn(const QRect& rect) {
    return QRectF(rect).adjusted(kShadowSide, kShadowTop, -kShadowSide, -kShadowBottom);
}

}  // namespace

BinTray::BinTray(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      clear_(new KeyButton(QStringLiteral("Clear"), KeyKind::dark, false, this)),
      trash_(new KeyButton(QStringLiteral("Move to Trash"), KeyKind::accent, false, this)) {
    static_cast<KeyButton*>(trash_)->setSymbol(QStringLiteral("trash.fill"));
    // Every entry out in one change; the tray then leaves with the empty basket.
    connect(clear_, &QAbstractButton::clicked, &model_, [this] { model_.setBasket({}); });
    connect(trash_, &QAbstractButton::clicked, &model_, [this] { model_.setConfirmTrash(true); });
    for (const PropertyNotifier* property : Notifiers{&model_.basket, &model_.trashing,
                        &model_.index, &model_.revision}) {
        connect(property, &PropertyNotifier::changed, this, &BinTray::refresh);
    }
    // Off while a clean-up is prepared or an application is uninstalled, too.
    connect(&model_.removalBusy, &PropertyNotifier::changed, this, &BinTray::refresh);
    auto* fade = new QGraphicsOpacityEffect(this);
    fade->setOpacity(0);
    setGraphicsEffect(fade);
    connect(&size_, &SizeTextMotion::changed, this, [this] { update(); });
    connect(&presence_, &SpringAnimator::valueChanged, this, &BinTray::place);
    connect(&presence_, &SpringAnimator::settled, this, [this] {
        if (presence_.value() <= 0) hide();
        place();
    });
    setFocusPolicy(Qt::TabFocus);
    hide();
    refresh();
}

double BinTray::counterWidth() const {
    const double count = QFontMetricsF(Fonts::trayCount.font())
                             .horizontalAdvance(pickedLine(model_.basket().size()));
    const double size = sizeTextWidth(model_.basketSize(), kBasketSizeText);
    return std::max(count, size) + kTrayChevronGap + kTrayChevronWidth;
}

QSize BinTray::sizeHint() const {
    const double w = kTrayPadLeft + counterWidth() + kTrayKeyGap + clear_->sizeHint().width() +
                     kTrayKeyGap + trash_->sizeHint().width() + kTrayPadRight;
    const double h =
        kTrayPadV + std::max(kTrayLeast, double(trash_->sizeHint().height())) + kTrayPadV;
    return {int(std::ceil(w + 2 * kShadowSide)), int(std::ceil(h + kShadowTop + kShadowBottom))};
}

QRectF BinTray::counterRect() const {
    const QRectF panel = panelIn(rect());
    return QRectF(panel.left() + kTrayPadLeft, panel.top() + kTrayPadV, counterWidth(),
                  panel.height() - 2 * kTrayPadV);
}

void BinTray::refresh() {
    const bool show = !model_.basket().empty() && model_.index();
    size_.setBytes(model_.basketSize(), isVisible() && model_.animation().has_value());
    trash_->setText(model_.trashing() ? QStringLiteral("Moving\u2026")
                                      : QStringLiteral("Move to Trash"));
    trash_->setEnabled(!model_.removalBusy());
    if (!show && list_) list_->close();
    resize(sizeHint());
    if (show) {
        if (!isVisible()) {
            place();
            setVisible(true);
            raise();
        }
        presence_.animateTo(1, model_.animation().value_or(clearSpring));
    } else if (isVisible()) {
        presence_.animateTo(0, model_.animation().value_or(clearSpring));
    }
    place();
    update();
}

void BinTray::place() {
    const double p = std::clamp(presence_.value(), 0.0, 1.0);
    if (auto* fade = static_cast<QGraphicsOpacityEffect*>(graphicsEffect())) {
        fade->setOpacity(p);
        fade->setEnabled(p < 1);  // drawing through the effect costs; at rest it is off
    }
    if (!parentWidget()) return;
    // Centred over the foot of the screen, 20 pt above its bottom edge; below it while away.
    const int rest = parentWidget()->height() - height() + int(kShadowBottom) - kTrayBottom;
    const int away = parentWidget()->height() - int(kShadowTop);
    move((parentWidget()->width() - width()) / 2, int(std::lround(rest + (1 - p) * (away - rest))));
}

void BinTray::resizeEvent(QResizeEvent*) {
    const QRectF panel = panelIn(rect());
    const QSize trash = trash_->sizeHint(), clear = clear_->sizeHint();
    trash_->setGeometry(int(panel.right() - kTrayPadRight - trash.width()),
                        int(panel.center().y() - trash.height() / 2.0), trash.width(),
                        trash.height());
    clear_->setGeometry(trash_->x() - int(kTrayKeyGap) - clear.width(),
                        int(panel.center().y() - clear.height() / 2.0), clear.width(),
                        clear.height());
}

void BinTray::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF panel = panelIn(rect());
    paintShadow(painter, panel, kTrayRadius, kTrayShadow);
    paintScreen(painter, panel, kTrayRadius);

    const QRectF counter = counterRect();
    const QFont& cf = Fonts::trayCount.font();
    const QFontMetricsF cm(cf);
    const double blockH = cm.height() + kTrayLineGap + kBasketSizeLine;
    const double top = counter.center().y() - blockH / 2;
    painter.setFont(cf);
    painter.setPen(Color::screenCaption);
    painter.drawText(QPointF(counter.left(), top + cm.ascent()),
                     pickedLine(model_.basket().size()));
    const double sizeAscent = QFontMetricsF(sizeTextFont(kBasketSizeText)).ascent();
    paintSizeText(painter, QPointF(counter.left(), top + cm.height() + kTrayLineGap + sizeAscent),
                  size_, kBasketSizeText, Color::screenGlow, Color::screenGlowUnit);

    // The chevron turns over while the list is open.
    const QRectF chevron(counter.right() - kTrayChevronWidth,
                         counter.center().y() - kTrayChevronHeight / 2, kTrayChevronWidth,
                         kTrayChevronHeight);
    painter.save();
    painter.translate(chevron.center());
    if (list_) painter.rotate(180);
    painter.translate(-chevron.center());
    paintSymbol(painter, chevron, QStringLiteral("chevron.up"), kTrayChevronPoints,
                Color::screenCaption);
    painter.restore();
    if (hasFocus())
        paintFocusRing(painter, roundedShape(counter.adjusted(-kTrayRingH, -kTrayRingV, kTrayRingH,
                                                              kTrayRingV),
                                             kTrayRingRadius));
}

void BinTray::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && counterRect().contains(event->position()))
        toggleList();
}

void BinTray::keyPressEvent(QKeyEvent* event) {
    if (opensEntry(*event) || (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier)) {
        toggleList();
        return;
    }
    QWidget::keyPressEvent(event);
}

void BinTray::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void BinTray::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void BinTray::toggleList() {
    if (list_) {
        list_->close();
        return;
    }
    list_ = new BinList(model_, this);
    connect(list_, &BinList::closed, this, [this] {
        list_->deleteLater();
        list_ = nullptr;
        update();
    });
    list_->adjustSize();
    // Above the counter, its arrow side towards it.
    const QRectF counter = counterRect();
    const QPoint anchor =
        mapToGlobal(QPoint(int(counter.center().x()), int(counter.top()) - kBasketListGap));
    list_->move(anchor.x() - list_->width() / 2, anchor.y() - list_->height());
    const bool fromKeyboard = hasFocus();
    list_->show();
    // Opened from the keyboard, the list takes the focus on its first row (Escape closes it).
    if (fromKeyboard) list_->rows().setFocus(Qt::TabFocusReason);
    update();
}

ToastView::ToastView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), dismiss_(model.clock()) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    dismiss_.setSingleShot(true);
    dismiss_.onTimeout([this] {
        // Only the toast this wait was started for; a newer one has a wait of its own.
        const OptionalToast& toast = model_.toast();
        if (toast && toast->id == shownId_) model_.setToast(std::nullopt);
    });
    connect(&model_.toast, &PropertyNotifier::changed, this, &ToastView::refresh);
    for (SpringAnimator* presence : {&presence_, &replacedPresence_}) {
        connect(presence, &SpringAnimator::valueChanged, this, qOverload<>(&QWidget::update));
        connect(presence, &SpringAnimator::settled, this, &ToastView::settle);
    }
    hide();
    refresh();
}

void ToastView::settle() {
    // A card that has left is let go; the view hides once no card is left.
    if (presence_.value() <= 0 && !presence_.moving()) leaving_.reset();
    if (replacedPresence_.value() <= 0 && !replacedPresence_.moving()) replaced_.reset();
    if (!leaving_ && !replaced_) hide();
    resize(sizeHint());
    place();
    update();
}

int ToastView::cardsDrawn() const {
    if (!isVisible()) return 0;
    return int(bool(leaving_)) + int(bool(replaced_));
}

void ToastView::place() {
    if (!parentWidget()) return;
    // Centred at the top, kToastTop below the edge; the cards move within it.
    move((parentWidget()->width() - width()) / 2, kToastTop - int(kShadowTop));
}

namespace {

// Left of the text: the card's padding, the LED and its gap; right of it: the padding.
constexpr double toastTextLeft = kToastPadH + kLedSide + kToastLedGap;
constexpr double toastTextRight = kToastPadH;

}  // namespace

ToastCard toastCard(const Toast& toast, double maxWidth) {
    const QFont& titleFont = Fonts::toastTitle.font();
    const QFont& detailFont = Fonts::toastDetail.font();
    const QFontMetricsF title(titleFont);
    const QFontMetricsF detail(detailFont);
    const double room = std::max(maxWidth - toastTextLeft - toastTextRight, kToastLeast);
    ToastCard card;
    card.title = title.elidedText(toast.title, Qt::ElideRight, room);
    const QString detailText = shownText(toast.detail);
    if (!detailText.isEmpty()) {
        card.detail =
            elideLines(detailText, detailFont, room, kToastDetailLines).split(QLatin1Char('\n'));
    }
    double textW = title.horizontalAdvance(card.title);
    for (const QString& line : card.detail)
        textW = std::max(textW, detail.horizontalAdvance(line));
    const double w = toastTextLeft + std::min(textW, room) + toastTextRight;
    const double h = kToastPadV + title.height() + (card.detail.isEmpty() ? 0 : kToastLineGap) +
                     detail.height() * double(card.detail.size()) + kToastPadV;
    card.size = {w, h};
    return card;
}

double ToastView::maxCardWidth() const {
    // The screen's side margins stay clear of the card.
    if (!parentWidget()) return 1e9;
    return parentWidget()->width() - 2 * kScreenSide;
}

QSize ToastView::sizeHint() const {
    QSizeF card(0, 0);
    for (const OptionalToast* toast : {&leaving_, &replaced_}) {
        if (*toast) card = card.expandedTo(toastCard(**toast, maxCardWidth()).size);
    }
    if (card.isEmpty()) return {0, 0};
    return {int(std::ceil(card.width() + 2 * kShadowSide)),
            int(std::ceil(card.height() + kShadowTop + kShadowBottom))};
}

void ToastView::refresh() {
    const OptionalToast& toast = model_.toast();
    const Spring spring = model_.animation().value_or(toastSpring);
    if (!toast) {
        // The card leaves with the last toast on it.
        shownId_ = QUuid();
        dismiss_.stop();
        if (isVisible()) presence_.animateTo(0, spring);
        return;
    }
    if (toast->id != shownId_) {
        // A new toast is a new card: the one on screen leaves as it comes in, and it has its
        // own 3.2 s.
        if (leaving_ && presence_.value() > 0 && isVisible()) {
            replaced_ = leaving_;
            replacedPresence_.setValue(presence_.value());
            replacedPresence_.animateTo(0, spring);
        }
        shownId_ = toast->id;
        dismiss_.start(Toasts::lifetime);
        presence_.setValue(0);
    }
    leaving_ = toast;
    resize(sizeHint());
    place();
    show();
    raise();
    presence_.animateTo(1, spring);
    update();
}

void ToastView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The replaced card first, the new one over it. A card at presence p lies (1 - p) of the
    // way up out of the top edge, at opacity p.
    const std::pair<const OptionalToast*, const SpringAnimator*> cards[] = {
        {&replaced_, &replacedPresence_}, {&leaving_, &presence_}};
    for (const auto& [card, presence] : cards) {
        const double p = std::clamp(presence->value(), 0.0, 1.0);
        if (!*card || p <= 0) continue;
        const Toast& toast = **card;
        const ToastCard laid = toastCard(toast, maxCardWidth());
        const QSizeF size = laid.size;
        const QRectF panel(QPointF((width() - size.width()) / 2,
                                   kShadowTop - (1 - p) * (kShadowTop + size.height() + kToastTop)),
                           size);
        painter.save();
        painter.setOpacity(p);
        paintShadow(painter, panel, kToastRadius, kToastShadow);
        paintScreen(painter, panel, kToastRadius);
        paintLed(painter, QPointF(panel.left() + kToastPadH + kLedSide / 2.0, panel.center().y()),
                 toast.good ? Color::led : Color::danger, ledLook(false, 0));
        const QFont& titleFont = Fonts::toastTitle.font();
        const QFont& detailFont = Fonts::toastDetail.font();
        const QFontMetricsF tm(titleFont), dm(detailFont);
        const double x = panel.left() + toastTextLeft;
        const double lines = double(laid.detail.size());
        const double blockH =
            tm.height() + (laid.detail.isEmpty() ? 0 : kToastLineGap + dm.height() * lines);
        const double top = panel.center().y() - blockH / 2;
        painter.setFont(titleFont);
        painter.setPen(Qt::white);
        painter.drawText(QPointF(x, top + tm.ascent()), laid.title);
        painter.setFont(detailFont);
        painter.setPen(Color::screenDim);
        double y = top + tm.height() + kToastLineGap + dm.ascent();
        for (const QString& line : laid.detail) {
            painter.drawText(QPointF(x, y), line);
            y += dm.height();
        }
        painter.restore();
    }
}

}  // namespace tamrel
