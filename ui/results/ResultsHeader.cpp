#include "ui/results/ResultsHeader.h"

#include <QAbstractButton>
#include <QDir>
#include <QFocusEvent>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "ui/results/ResultsPaint.h"
#include "ui/results/ResultsText.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Display.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Palette.h"
#include "ui/theme/ShownText.h"

namespace tamrel {
namespace {

constexpr double crumbSpacing = 6;
constexpr double crumbMaxWidth = 220;

QFont separatorFont() {
    return Fonts::system(13, Fonts::Weight::semibold);
}
QFont ellipsisFont() {
    return Fonts::system(14, Fonts::Weight::bold);
}

}  // namespace

Breadcrumbs::Breadcrumbs(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), up_(new RoundKey(QStringLiteral("chevron.left"), 28, this)) {
    up_->setToolTip(QStringLiteral("Up a folder (Ctrl+\u2191)"));
    connect(up_, &QAbstractButton::clicked, &model_, &AppModel::up);
    for (auto signal :
         {&AppModel::indexChanged, &AppModel::currentChanged, &AppModel::volumesChanged}) {
        connect(&model_, signal, this, &Breadcrumbs::refresh);
    }
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    refresh();
}

void Breadcrumbs::refresh() {
    const IndexRef& index = model_.index();
    crumbs_.clear();
    if (index && model_.current() < index->count()) {
        const std::vector<NodeId> chain = index->ancestry(model_.current());
        crumbs_ = pathCrumbs(chain);
    }
    up_->setVisible(bool(index));
    const bool atRoot = model_.current() == 0;
    up_->setEnabled(!atRoot);
    // A disabled key is drawn dimmed.
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

QFont Breadcrumbs::fontOf(NodeId node) const {
    if (node == NONE) return ellipsisFont();
    return Fonts::system(14,
                         node == model_.current() ? Fonts::Weight::bold : Fonts::Weight::semibold);
}

QStringList Breadcrumbs::crumbTexts() const {
    QStringList texts;
    for (NodeId node : crumbs_)
        texts << textOf(node);
    return texts;
}

double Breadcrumbs::textWidth(int k) const {
    const NodeId node = crumbs_[std::size_t(k)];
    return std::min(QFontMetricsF(fontOf(node)).horizontalAdvance(textOf(node)), crumbMaxWidth);
}

QRectF Breadcrumbs::crumbRect(int k) const {
    const double sep = QFontMetricsF(separatorFont()).horizontalAdvance(QStringLiteral("/"));
    double x = 28 + crumbSpacing;
    for (int i = 0; i < k; ++i) {
        x += textWidth(i) + crumbSpacing;
        x += sep + crumbSpacing;  // the separator before the next crumb
    }
    return QRectF(x, 0, textWidth(k), height());
}

QSize Breadcrumbs::sizeHint() const {
    if (crumbs_.empty()) return {28, 34};
    const QRectF last = crumbRect(int(crumbs_.size()) - 1);
    return {int(std::ceil(last.right())) + 2, 34};
}

void Breadcrumbs::paintEvent(QPaintEvent*) {
    up_->move(0, (height() - up_->height()) / 2);
    if (crumbs_.empty()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double sep = QFontMetricsF(separatorFont()).horizontalAdvance(QStringLiteral("/"));
    for (int k = 0; k < int(crumbs_.size()); ++k) {
        const QRectF r = crumbRect(k);
        if (k >= 1) {
            painter.setFont(separatorFont());
            painter.setPen(Color::ink3);
            painter.drawText(QRectF(r.left() - crumbSpacing - sep, 0, sep, height()),
                             Qt::AlignCenter, QStringLiteral("/"));
        }
        const NodeId node = crumbs_[std::size_t(k)];
        const QFont f = fontOf(node);
        painter.setFont(f);
        painter.setPen(node == NONE               ? Color::ink3
                       : node == model_.current() ? Color::ink
                                                  : Color::ink2);
        painter.drawText(
            r, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetricsF(f).elidedText(textOf(node), Qt::ElideRight, r.width() + 0.5));
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

SearchField::SearchField(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), edit_(new QLineEdit(this)) {
    setFixedSize(270, 32);
    edit_->setFrame(false);
    edit_->setAttribute(Qt::WA_MacShowFocusRect, false);
    edit_->setFont(Fonts::system(13, Fonts::Weight::semibold));
    edit_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; }"));
    QPalette palette = edit_->palette();
    palette.setColor(QPalette::Text, Color::ink);
    palette.setColor(QPalette::PlaceholderText, Color::ink3);
    edit_->setPalette(palette);
    edit_->installEventFilter(this);
    connect(edit_, &QLineEdit::textEdited, &model_,
            [this](const QString& text) { model_.setQuery(text); });
    for (auto signal : {&AppModel::queryChanged, &AppModel::indexChanged, &AppModel::currentChanged,
                        &AppModel::resultsChanged, &AppModel::searchingChanged}) {
        connect(&model_, signal, this, &SearchField::refresh);
    }
    refresh();
}

void SearchField::refresh() {
    if (edit_->text() != model_.query()) edit_->setText(model_.query());
    edit_->setPlaceholderText(QStringLiteral("Find ") +
                              searchScope(model_.index().get(), model_.current()));
    // Magnifier 12 pt, 7 pt apart; the trailing part takes what its text needs.
    const double trailing =
        QFontMetricsF(Fonts::mono(10, Fonts::Weight::bold)).horizontalAdvance(trailingText()) +
        (model_.query().isEmpty() ? 0 : 7 + 14);
    const double left = 11 + 14 + 7;
    edit_->setGeometry(int(left), 0, int(width() - left - 7 - trailing - 11), height());
    update();
}

QString SearchField::trailingText() const {
    if (model_.query().isEmpty()) return QStringLiteral("Ctrl+F");
    return searchCount(model_.results().size(), model_.searching());
}

QRectF SearchField::clearRect() const {
    if (model_.query().isEmpty()) return {};
    return QRectF(width() - 11 - 14, (height() - 14) / 2.0, 14, 14);
}

void SearchField::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect());
    QColor fill = Color::ink;
    fill.setAlphaF(0.06);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(box, 10, 10);
    if (edit_->hasFocus()) {
        painter.setPen(QPen(Color::tangerine, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(box.adjusted(0.75, 0.75, -0.75, -0.75), 9.25, 9.25);
    }
    paintSymbol(painter, QRectF(11, 0, 14, height()), QStringLiteral("magnifyingglass"), 12,
                Color::ink3);
    const QFont hint = Fonts::mono(10, Fonts::Weight::bold);
    painter.setFont(hint);
    painter.setPen(Color::ink3);
    const QRectF clear = clearRect();
    const double right = clear.isNull() ? width() - 11 : clear.left() - 7;
    painter.drawText(QRectF(0, 0, right, height()), Qt::AlignRight | Qt::AlignVCenter,
                     trailingText());
    if (!clear.isNull()) {
        paintSymbol(painter, clear, QStringLiteral("xmark.circle.fill"), 13, Color::ink3);
    }
}

void SearchField::mouseReleaseEvent(QMouseEvent* event) {
    if (clearRect().contains(event->position())) {
        model_.setQuery(QString());
    } else {
        edit_->setFocus(Qt::MouseFocusReason);
    }
}

bool SearchField::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        update();
    }
    return QWidget::eventFilter(watched, event);
}

TabPicker::TabPicker(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    connect(&model_, &AppModel::tabChanged, this, qOverload<>(&QWidget::update));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QRectF TabPicker::tabRect(Tab tab) const {
    const QFont f = Fonts::system(13, Fonts::Weight::bold);
    const QFontMetricsF fm(f);
    double x = 0;
    for (Tab t : allTabs()) {
        const double w = fm.horizontalAdvance(rawValue(t)) + 28;
        if (t == tab) return QRectF(x, 0, w, fm.height() + 16 + 3);
        x += w + 6;
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
    const QFont f = Fonts::system(13, Fonts::Weight::bold);
    for (Tab t : allTabs()) {
        const QRectF r = tabRect(t);
        const bool selected = t == model_.tab();
        const QRectF key = r.adjusted(0, 0, 0, -3);  // 3 pt below for the key's edge
        paintKeycap(painter, roundedShape(key, 10),
                    selected ? QColor(0xF3, 0xF0, 0xEA) : Color::keyFace, Color::keyEdge, 3,
                    keycapFaceOffset(3, selected, false));
        painter.setFont(f);
        painter.setPen(selected ? Color::ink : Color::ink2);
        painter.drawText(key.translated(0, selected ? 2 : 0), Qt::AlignCenter, rawValue(t));
    }
}

void TabPicker::mouseReleaseEvent(QMouseEvent* event) {
    for (Tab t : allTabs()) {
        if (tabRect(t).contains(event->position())) {
            model_.setTab(t);
            return;
        }
    }
}

}  // namespace tamrel
