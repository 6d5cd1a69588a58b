#include "ui/results/ResultsHeader.h"

#include <QAbstractButton>
#include <QDir>
#include <QFocusEvent>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <limits>

#include "ui/results/ResultsMetrics.h"
#include "ui/results/ResultsPaint.h"
#include "ui/results/ResultsText.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Palette.h"
#include "ui/theme/ShownText.h"

namespace tamrel {
namespace {

constexpr Spring folderSpring{0.35, 0.75};

}  // namespace

Breadcrumbs::Breadcrumbs(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      up_(new RoundKey(QStringLiteral("chevron.left"), kUpKey, this)) {
    // Dimmed to 0.4 at the root through an effect, so that the dimming can move with the crumbs.
    static_cast<RoundKey*>(up_)->setDisabledOpacity(1);
    auto* dim = new QGraphicsOpacityEffect(up_);
    dim->setOpacity(1);
    dim->setEnabled(false);
    up_->setGraphicsEffect(dim);
    connect(&upOpacity_, &SpringAnimator::valueChanged, this, [this, dim](double v) {
        dim->setOpacity(std::clamp(v, 0.0, 1.0));
        dim->setEnabled(v < 1);
    });
    up_->setToolTip(QStringLiteral("Up a folder (Ctrl+\u2191)"));
    connect(up_, &QAbstractButton::clicked, &model_, &AppModel::up);
    connect(&model_.current, &PropertyNotifier::changed, this, [this] { refresh(true); });
    for (const PropertyNotifier* property : Notifiers{&model_.index, &model_.volumes})
        connect(property, &PropertyNotifier::changed, this, [this] { refresh(false); });
    connect(&motion_, &SpringAnimator::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&motion_, &SpringAnimator::settled, this, [this] {
        // The leaving crumbs are gone: the bar needs only the room of the new ones.
        from_.clear();
        updateGeometry();
        update();
    });
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    refresh(false);
}

QRect Breadcrumbs::focusPart() const {
    const int left = int(kUpKey + kCrumbSpacing);
    return QRect(left, 0, std::max(0, width() - left), height());
}

void Breadcrumbs::keyPressEvent(QKeyEvent* event) {
    const int count = int(crumbs_.size());
    if (auto to = steppedEntry(*event, focusCrumb_, count, Qt::Horizontal)) {
        // The ellipsis is no crumb to open: the place passes over it.
        if (crumbs_[std::size_t(*to)] == NONE)
            *to += *to >= focusCrumb_ ? 1 : -1;
        focusCrumb_ = std::clamp(*to, 0, count - 1);
        update();
        return;
    }
    const bool open =
        opensEntry(*event) || (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier);
    if (open && focusCrumb_ >= 0 && focusCrumb_ < count && crumbs_[std::size_t(focusCrumb_)] != NONE &&
        model_.index()) {
        model_.open(crumbs_[std::size_t(focusCrumb_)]);
        return;
    }
    if (!open) QWidget::keyPressEvent(event);
}

void Breadcrumbs::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (focusCrumb_ < 0 || focusCrumb_ >= int(crumbs_.size())) focusCrumb_ = int(crumbs_.size()) - 1;
    update();
}

void Breadcrumbs::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void Breadcrumbs::refresh(bool animate) {
    const IndexRef& index = model_.index();
    crumbs_.clear();
    if (index && model_.current() < index->count()) {
        const std::vector<NodeId> chain = index->ancestry(model_.current());
        crumbs_ = pathCrumbs(chain);
    }
    up_->setVisible(bool(index));
    // The keyboard's place goes to the current folder, the last crumb.
    focusCrumb_ = int(crumbs_.size()) - 1;
    const bool atRoot = model_.current() == 0;
    up_->setEnabled(!atRoot);
    std::vector<CrumbLook> looks = layOut(room());
    const double upTarget = atRoot ? kUpDimmed : 1.0;
    if (animate && isVisible() && index) {
        // From the last layout; a change mid-way starts again from there.
        if (looks != looks_) {
            from_ = looks_;
            motion_.setValue(0);
            looks_ = std::move(looks);
            motion_.animateTo(1, folderSpring);
        }
        upOpacity_.animateTo(upTarget, folderSpring);
    } else {
        looks_ = std::move(looks);
        from_.clear();
        motion_.setValue(1);
        upOpacity_.setValue(upTarget);
    }
    updateGeometry();
    update();
}

QString Breadcrumbs::textOf(NodeId node) const {
    if (node == NONE) return QStringLiteral("\u2026");
    const IndexRef& index = model_.index();
    if (!index) return {};
    if (node != 0) return shownText(QString::fromStdString(index->name(node)));
    std::optional<QString> volume;
    for (const Volume& v : model_.volumes()) {
        if (v.url == "/") {
            volume = v.name;
            break;
        }
    }
    return rootDisplayName(index->rootPath(), volume, QDir::homePath().toStdString());
}

QFont Breadcrumbs::fontOf(const CrumbLook& look) const {
    if (look.ellipsis) return Fonts::crumbEllipsis.font();
    return (look.current ? Fonts::currentCrumb : Fonts::crumb).font();
}

std::vector<CrumbLook> Breadcrumbs::layOut(double room) const {
    const double sep =
        QFontMetricsF(Fonts::crumbSeparator.font()).horizontalAdvance(QStringLiteral("/"));
    std::vector<CrumbLook> looks;
    looks.reserve(crumbs_.size());
    std::vector<double> widths;
    widths.reserve(crumbs_.size());
    double fixed = kUpKey + kCrumbSpacing;  // the up key, then the gaps and separators
    for (std::size_t k = 0; k < crumbs_.size(); ++k) {
        const NodeId node = crumbs_[k];
        CrumbLook look;
        look.text = textOf(node);
        look.ellipsis = node == NONE;
        look.current = node == model_.current();
        if (k >= 1) fixed += kCrumbSpacing + sep + kCrumbSpacing;  // around the separator
        // Long names are cut at 220 pt.
        widths.push_back(
            std::min(QFontMetricsF(fontOf(look)).horizontalAdvance(look.text), kCrumbMaxWidth));
        looks.push_back(std::move(look));
    }
    // In a narrow window the long names share the room the bar gets, so the current folder's
    // crumb is cut with an ellipsis like the others instead of running under the search field.
    widths = fitCrumbWidths(widths, room - fixed, kCrumbLeastWidth);
    double x = kUpKey + kCrumbSpacing;
    for (std::size_t k = 0; k < looks.size(); ++k) {
        if (k >= 1) x += sep + kCrumbSpacing;  // the separator before this crumb
        looks[k].x = x;
        looks[k].width = widths[k];
        x += widths[k] + kCrumbSpacing;
    }
    return looks;
}

double Breadcrumbs::room() const {
    // Before the header has placed the bar, nothing limits it.
    return testAttribute(Qt::WA_Resized) ? double(width())
                                         : std::numeric_limits<double>::infinity();
}

void Breadcrumbs::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (event->size().width() == event->oldSize().width()) return;
    std::vector<CrumbLook> looks = layOut(room());
    if (looks == looks_) return;
    // A change of room ends a move between folders: the crumbs take their new places at once.
    looks_ = std::move(looks);
    from_.clear();
    motion_.setValue(1);
    update();
}

QStringList Breadcrumbs::crumbTexts() const {
    QStringList texts;
    for (const CrumbLook& look : looks_)
        texts << look.text;
    return texts;
}

QRectF Breadcrumbs::crumbRect(int k) const {
    const CrumbLook& look = looks_[std::size_t(k)];
    return QRectF(look.x, 0, look.width, height());
}

std::vector<CrumbDraw> Breadcrumbs::drawnCrumbs() const {
    if (motion_.value() >= 1 && !motion_.moving()) return crumbsInMotion(looks_, looks_, 1);
    return crumbsInMotion(from_, looks_, motion_.value());
}

QSize Breadcrumbs::sizeHint() const {
    // Wide enough for the crumbs before and after a change, so none is cut while they move.
    // (The widths the crumbs would like, not those they were cut to in the room they have.)
    double right = kUpKey;
    const std::vector<CrumbLook> natural = layOut(std::numeric_limits<double>::infinity());
    for (const auto* looks : {&natural, &from_}) {
        if (!looks->empty()) right = std::max(right, looks->back().x + looks->back().width);
    }
    return {int(std::ceil(right)) + kCrumbBarSlack, kCrumbBarHeight};
}

void Breadcrumbs::paintEvent(QPaintEvent*) {
    up_->move(0, (height() - up_->height()) / 2);
    const std::vector<CrumbDraw> draws = drawnCrumbs();
    if (draws.empty()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double sep =
        QFontMetricsF(Fonts::crumbSeparator.font()).horizontalAdvance(QStringLiteral("/"));
    for (const CrumbDraw& d : draws) {
        const CrumbLook& look = d.look;
        if (d.separatorOpacity > 0) {
            painter.setOpacity(d.separatorOpacity);
            painter.setFont(Fonts::crumbSeparator.font());
            painter.setPen(Color::ink3);
            painter.drawText(QRectF(look.x - kCrumbSpacing - sep, 0, sep, height()),
                             Qt::AlignCenter, QStringLiteral("/"));
        }
        const QFont f = fontOf(look);
        painter.setOpacity(d.opacity);
        painter.setFont(f);
        painter.setPen(look.ellipsis ? Color::ink3 : look.current ? Color::ink : Color::ink2);
        const double textW = look.width + kCrumbTextSlack;
        painter.drawText(QRectF(look.x, 0, textW, height()), Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetricsF(f).elidedText(look.text, Qt::ElideRight, textW));
    }
    if (hasFocus() && focusCrumb_ >= 0 && focusCrumb_ < int(looks_.size())) {
        painter.setOpacity(1);
        const QRectF ring =
            crumbRect(focusCrumb_).adjusted(-kCrumbRingH, kCrumbRingV, kCrumbRingH, -kCrumbRingV);
        paintFocusRing(painter, roundedShape(ring, kCrumbRingRadius));
    }
}

void Breadcrumbs::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !model_.index()) return;
    for (int k = 0; k < int(crumbs_.size()); ++k) {
        const NodeId node = crumbs_[std::size_t(k)];
        if (node != NONE && crumbRect(k).contains(event->position())) {
            model_.open(node);  // also the current folder: back to Explore, query cleared
            return;
        }
    }
}

namespace {

// The clear button at the search field's right end: the symbol, and the ring with the focus.
class ClearKey : public KeyControl {
public:
    explicit ClearKey(QWidget* parent) : KeyControl(parent) {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        setToolTip(QStringLiteral("Clear"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        paintSymbol(painter, QRectF(rect()), QStringLiteral("xmark.circle.fill"), kClearPoints,
                    Color::ink3);
        if (hasFocus()) {
            QPainterPath circle;
            circle.addEllipse(QRectF(rect()));
            paintFocusRing(painter, circle);
        }
    }
};

}  // namespace

SearchField::SearchField(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      edit_(new QLineEdit(this)),
      clear_(new ClearKey(this)),
      ring_(new FieldRing(edit_, this)) {
    connect(clear_, &QAbstractButton::clicked, &model_, [this] {
        // Pressed from the keyboard, the focus goes back into the text as the key goes.
        if (clear_->hasFocus()) edit_->setFocus(Qt::OtherFocusReason);
        model_.setQuery(QString());
    });
    setFixedSize(kSearchWidth, kSearchHeight);
    edit_->setFrame(false);
    edit_->setAttribute(Qt::WA_MacShowFocusRect, false);
    edit_->setFont(Fonts::field.font());
    edit_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; }"));
    QPalette palette = edit_->palette();
    palette.setColor(QPalette::Text, Color::ink);
    palette.setColor(QPalette::PlaceholderText, Color::ink3);
    edit_->setPalette(palette);
    connect(edit_, &QLineEdit::textEdited, &model_,
            [this](const QString& text) { model_.setQuery(text); });
    for (const PropertyNotifier* property : Notifiers{&model_.query, &model_.index, &model_.current,
                        &model_.results}) {
        connect(property, &PropertyNotifier::changed, this, &SearchField::refresh);
    }
    refresh();
}

void SearchField::refresh() {
    if (edit_->text() != model_.query()) edit_->setText(model_.query());
    edit_->setPlaceholderText(QStringLiteral("Find ") +
                              searchScope(model_.index().get(), model_.current()));
    // The trailing part takes what its text needs.
    const double trailing =
        QFontMetricsF(Fonts::fieldHint.font()).horizontalAdvance(trailingText()) +
        (model_.query().isEmpty() ? 0 : kSearchGap + kClearSide);
    const double left = kSearchPad + kSearchMagnifierWidth + kSearchGap;
    edit_->setGeometry(int(left), 0, int(width() - left - kSearchGap - trailing - kSearchPad),
                       height());
    const QRectF clear = clearRect();
    clear_->setVisible(!clear.isNull());
    // A little larger than the symbol, for the ring.
    if (!clear.isNull())
        clear_->setGeometry(
            clear.adjusted(-kClearRingRoom, -kClearRingRoom, kClearRingRoom, kClearRingRoom)
                .toRect());
    update();
}

QString SearchField::trailingText() const {
    if (model_.query().isEmpty()) return QStringLiteral("Ctrl+F");
    return searchCount(model_.results().size());
}

QRectF SearchField::clearRect() const {
    if (model_.query().isEmpty()) return {};
    return QRectF(width() - kSearchPad - kClearSide, (height() - kClearSide) / 2.0, kClearSide,
                  kClearSide);
}

void SearchField::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect());
    painter.setPen(Qt::NoPen);
    painter.setBrush(Color::fieldFill);
    painter.drawRoundedRect(box, kSearchRadius, kSearchRadius);
    ring_->paint(painter, box, kSearchRadius);
    paintSymbol(painter, QRectF(kSearchPad, 0, kSearchMagnifierWidth, height()),
                QStringLiteral("magnifyingglass"), kSearchMagnifierPoints, Color::ink3);
    painter.setFont(Fonts::fieldHint.font());
    painter.setPen(Color::ink3);
    const QRectF clear = clearRect();
    const double right = clear.isNull() ? width() - kSearchPad : clear.left() - kSearchGap;
    painter.drawText(QRectF(0, 0, right, height()), Qt::AlignRight | Qt::AlignVCenter,
                     trailingText());
}

void SearchField::mouseReleaseEvent(QMouseEvent* event) {
    if (clearRect().contains(event->position())) {
        model_.setQuery(QString());
    } else {
        edit_->setFocus(Qt::MouseFocusReason);
    }
}

namespace {
std::optional<Spring> selectionSpring;  // main thread only, like the model
}  // namespace

void selectTab(AppModel& model, Tab tab, Spring spring) {
    const std::optional<Spring> outer = selectionSpring;
    selectionSpring = spring;
    model.setTab(tab);
    selectionSpring = outer;
}

std::optional<Spring> tabSelectionSpring() {
    return selectionSpring;
}

TabPicker::TabPicker(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    for (Tab t : allTabs()) {
        auto& amount = selected_[std::size_t(t)];
        amount = std::make_unique<SpringAnimator>(t == model_.tab() ? 1.0 : 0.0);
        connect(amount.get(), &SpringAnimator::valueChanged, this, qOverload<>(&QWidget::update));
    }
    connect(&model_.tab, &PropertyNotifier::changed, this, &TabPicker::followTab);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
}

void TabPicker::followTab() {
    // The keys sink and rise together on the tab spring when a tab is pressed, on the model's
    // spring when one of its steps changed the tab (opening a folder), and at once otherwise.
    const std::optional<Spring> spring =
        tabSelectionSpring() ? tabSelectionSpring() : model_.animation();
    for (Tab t : allTabs()) {
        SpringAnimator& amount = *selected_[std::size_t(t)];
        const double target = t == model_.tab() ? 1 : 0;
        if (spring)
            amount.animateTo(target, *spring);
        else
            amount.setValue(target);
    }
    update();
}

QRectF TabPicker::tabRect(Tab tab) const {
    const QFontMetricsF fm(Fonts::tab.font());
    double x = 0;
    for (Tab t : allTabs()) {
        const double w = fm.horizontalAdvance(rawValue(t)) + 2 * kTabPadH;
        if (t == tab) return QRectF(x, 0, w, fm.height() + 2 * kTabPadV + kTabDepth);
        x += w + kTabGap;
    }
    return {};
}

QSize TabPicker::sizeHint() const {
    const QRectF last = tabRect(Tab::apps);
    return {int(std::ceil(last.right())), int(std::ceil(last.height()))};
}

void TabPicker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont& f = Fonts::tab.font();
    for (Tab t : allTabs()) {
        const QRectF r = tabRect(t);
        // 0 up, 1 pressed in; the spring may overshoot a little either way.
        const double v = selectedAmount(t);
        const double c = std::clamp(v, 0.0, 1.0);
        auto mix = [c](const QColor& a, const QColor& b) {
            return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * c),
                                    float(a.greenF() + (b.greenF() - a.greenF()) * c),
                                    float(a.blueF() + (b.blueF() - a.blueF()) * c));
        };
        const QRectF key = r.adjusted(0, 0, 0, -kTabDepth);  // room below for the key's edge
        const double up = keycapFaceOffset(kTabDepth, false, false);
        const double down = keycapFaceOffset(kTabDepth, true, false);
        paintKeycap(painter, roundedShape(key, kTabRadius),
                    mix(Color::keyFace, QColor(0xF3, 0xF0, 0xEA)), Color::keyEdge, kTabDepth,
                    up + (down - up) * v);
        painter.setFont(f);
        painter.setPen(mix(Color::ink2, Color::ink));
        painter.drawText(key.translated(0, kTabDrop * v), Qt::AlignCenter, rawValue(t));
        if (hasFocus() && t == model_.tab()) {
            // The keyboard's place, drawn as the keys draw theirs, on the sunken face.
            paintFocusRing(painter,
                           roundedShape(key.translated(0, up + (down - up) * v), kTabRadius));
        }
    }
}

void TabPicker::keyPressEvent(QKeyEvent* event) {
    const auto tabs = allTabs();
    const auto at = std::size_t(std::find(tabs.begin(), tabs.end(), model_.tab()) - tabs.begin());
    std::size_t next = at;
    switch (event->key()) {
        case Qt::Key_Left: next = at > 0 ? at - 1 : at; break;
        case Qt::Key_Right: next = at + 1 < tabs.size() ? at + 1 : at; break;
        case Qt::Key_Home: next = 0; break;
        case Qt::Key_End: next = tabs.size() - 1; break;
        default: QWidget::keyPressEvent(event); return;
    }
    if (next != at) selectTab(model_, tabs[next], tabSpring);
    event->accept();
}

void TabPicker::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TabPicker::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void TabPicker::mouseReleaseEvent(QMouseEvent* event) {
    for (Tab t : allTabs()) {
        if (tabRect(t).contains(event->position())) {
            selectTab(model_, t, tabSpring);
            return;
        }
    }
}

}  // namespace tamrel
