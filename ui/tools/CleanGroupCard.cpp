#include "ui/tools/CleanGroupCard.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>
#include "format/Fmt.h"
#include "model/apps/Owner.h"
#include "platform/XdgDirs.h"
#include "ui/results/AppIcon.h"
#include "ui/results/ItemMenu.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Glyph.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Panel.h"
#include "ui/theme/ShownText.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/CleanMetrics.h"
#include "ui/tools/TickBox.h"
#include "ui/tools/ToolsPaint.h"
#include "ui/tools/ToolsText.h"

namespace tamrel {

namespace {

constexpr Spring kExpandSpring{0.3, 0.85};

double rowHeight() {
    return kCleanRowPadV +
           std::max(kCleanIcon, Fonts::itemTitle.lineHeight() + kCleanLineGap +
                                    Fonts::itemDetail.lineHeight()) +
           kCleanRowPadV;
}

std::string homePath() {
    return homeDirectory();
}

}  // namespace

// ---- Group card

CleanGroupCard::CleanGroupCard(AppModel& model, CleanGroup group, bool open, QWidget* parent)
    : QWidget(parent),
      model_(model),
      group_(std::move(group)),
      open_(open),
      openness_(open ? 1 : 0),
      tick_(new TickBox(TickState::none, this)),
      expand_(new RoundKey(QStringLiteral("chevron.down"), kExpandKey, this)) {
    // Names that find the same parts on the card that replaces this one (FocusCarry).
    setObjectName(QStringLiteral("group ") + QString::fromStdString(group_.id));
    tick_->setObjectName(QStringLiteral("tick"));
    expand_->setObjectName(QStringLiteral("expand"));
    rowList_.reset(new RowList(
        this, this,
        {.count = [this] { return open_ ? int(rowCount()) : 0; },  // fading rows take no input
         .rect = [this](int row) { return rowRect(std::size_t(row)); },
         .key =
             [this](int row) {
                 const IndexRef index = model_.index();
                 const NodeId node = nodeAt(row);
                 return index && node < index->count() ? QString::fromStdString(index->path(node))
                                                       : QString();
             },
         .activate =
             [this](int row) {
                 if (model_.index()) revealNode(model_, nodeAt(row));
             },
         .toggle = [this](int row) { flip(nodeAt(row)); },
         .click =
             [this](int row, QPointF pos) {
                 if (!model_.index()) return;
                 if (magnifierRect(std::size_t(row)).contains(pos)) {
                     revealNode(model_, nodeAt(row));
                 } else {
                     flip(nodeAt(row));
                 }
             },
         .menu =
             [this](int row, QPoint global) {
                 if (model_.index()) makeItemMenu(model_, nodeAt(row), true, this)->popup(global);
             },
         .menuAnchor =
             [this](int row) {
                 const QRectF r = rowRect(std::size_t(row));
                 return QPoint(int(r.left()) + kCleanMenuInset, int(r.bottom()));
             },
         .closesOnEscape = [this] { return open_; },
         .closeOnEscape = [this] { expand_->click(); }}));
    connect(tick_, &QAbstractButton::clicked, this, [this] {
        std::vector<NodeId> nodes;
        nodes.reserve(group_.items.size());
        for (const CleanItem& item : group_.items)
            nodes.push_back(item.node);
        model_.setClean(nodes, tick_->state() != TickState::all);
    });
    expand_->setTurn(std::numbers::pi * openness_.value());
    connect(expand_, &QAbstractButton::clicked, this, [this] {
        open_ = !open_;
        openness_.animateTo(open_ ? 1 : 0, kExpandSpring);
        followRows();
        emit openChanged(open_);
    });
    connect(&openness_, &SpringAnimator::valueChanged, this, [this](double v) {
        expand_->setTurn(std::numbers::pi * v);
        if (showsList()) update(QRect(0, int(headerHeight()), width(), height()));
    });
    connect(&picked_, &SizeTextMotion::changed, this,
            [this] { update(QRect(0, 0, width(), int(std::ceil(headerHeight())))); });
    connect(&openness_, &SpringAnimator::settled, this, [this] {
        if (!open_) emit heightChanged();
    });
    refresh();
}

bool CleanGroupCard::showsList() const {
    return open_ || openness_.moving();
}

double CleanGroupCard::listOpacity() const {
    return showsList() ? std::clamp(openness_.value(), 0.0, 1.0) : 0.0;
}

void CleanGroupCard::refresh() {
    const IndexRef index = model_.index();
    const NodeSet& picked = model_.cleanPicked();
    std::size_t pickedAll = 0;
    std::uint64_t pickedBytes = 0;
    total_ = 0;
    pickedCount_ = 0;
    for (const CleanItem& item : group_.items) {
        const bool on = picked.contains(item.node);
        pickedAll += on;
        if (!index || item.node >= index->count()) continue;
        const std::uint64_t size = index->size(item.node);
        total_ += size;
        if (on) {
            pickedBytes += size;
            ++pickedCount_;
        }
    }
    tick_->setState(tickState(pickedAll, group_.items.size()));
    rowTexts_.clear();
    followRows();
    picked_.setBytes(pickedBytes,
                     isVisible() && (model_.animation().has_value() || model_.trashing()));
    update();
}

void CleanGroupCard::rollFrom(std::uint64_t shown, bool animate) {
    const std::uint64_t bytes = picked_.bytes();
    picked_.setBytes(shown, false);
    picked_.setBytes(bytes, animate);
}

double CleanGroupCard::headerHeight() const {
    return kCardPad + std::max(kGroupHeaderLeast, groupTextsHeight()) + kCardPad;
}

double CleanGroupCard::groupTextsHeight() {
    return Fonts::groupTitle.lineHeight() + kGroupTitleGap +
           kGroupBlurbLines * Fonts::secondary.lineHeight();
}

std::size_t CleanGroupCard::rowCount() const {
    return showsList() ? std::min(group_.items.size(), kGroupRowLimit) : 0;
}

QString CleanGroupCard::moreLine() const {
    return groupMoreLine(group_.items.size());
}

double CleanGroupCard::heightFor(double) const {
    double h = headerHeight();
    if (showsList()) {
        const std::size_t rows = rowCount();
        h += 1 + kCleanListPad + rows * rowHeight() + (rows > 0 ? (rows - 1) * kCleanRowGap : 0) +
             kCleanListPad;
        if (!moreLine().isEmpty())
            h += kCleanRowGap + kMorePad + Fonts::secondary.lineHeight() + kMorePad;
    }
    return h + 1;
}

QRectF CleanGroupCard::rowRect(std::size_t row) const {
    return QRectF(kCleanListPad, listTop() + row * (rowHeight() + kCleanRowGap),
                  width() - 2 * kCleanListPad, rowHeight());
}

double CleanGroupCard::listTop() const {
    return headerHeight() + 1 + kCleanListPad;
}

QRectF CleanGroupCard::magnifierRect(std::size_t row) const {
    const QRectF r = rowRect(row);
    return QRectF(r.right() - kCleanRowPadH - kCleanMagnifierWidth, r.top(), kCleanMagnifierWidth,
                  r.height());
}

void CleanGroupCard::resizeEvent(QResizeEvent*) {
    const double mid = headerHeight() / 2;
    tick_->move(int(kCardPad), int(mid - kTickSide / 2));
    if (expand_) {
        const QSize s = expand_->sizeHint();
        expand_->setGeometry(int(width() - kCardPad - s.width()), int(mid - s.height() / 2.0),
                             s.width(), s.height());
    }
}

void CleanGroupCard::paintEvent(QPaintEvent* event) {
    const IndexRef index = model_.index();
    if (!index) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), kCardRadius);
    p.setClipPath(roundedShape(QRectF(0, 0, width(), height() - 1), kCardRadius));

    const NodeSet& picked = model_.cleanPicked();
    const std::uint64_t total = total_;
    const std::size_t pickedCount = pickedCount_;
    const double headH = headerHeight();
    const QRectF header(0, 0, width(), headH);
    if (event->rect().intersects(header.toRect())) {
        // The glyph with its edge, centred.
        const double glyphX = kCardPad + kTickSide + kGroupGap;
        paintGlyph(p, QPointF(glyphX, headH / 2 - (kGroupGlyph + kGlyphDepth) / 2),
                   QString::fromStdString(group_.symbol), groupHex(group_.id), kGroupGlyph);
        const QString count = groupCountLine(total, pickedCount, group_.items.size());
        const double sizeW = std::max(sizeTextWidth(picked_.bytes(), kGroupSize),
                                      Fonts::tabularWidth(Fonts::itemDetail.font(), count));
        const double rightX = (expand_ ? expand_->x() : width() - kCardPad) - kGroupGap;
        const double textX = glyphX + kGroupGlyph + kGroupGap;
        const double textW = rightX - sizeW - kGroupGap - textX;
        const double top = headH / 2 - groupTextsHeight() / 2;
        const QString title = QString::fromStdString(group_.title);
        const double titleH = Fonts::groupTitle.lineHeight();
        const double titleW =
            std::min(QFontMetricsF(Fonts::groupTitle.font()).horizontalAdvance(title), textW);
        paintLine(p, QRectF(textX, top, titleW, titleH), title, Fonts::groupTitle.font(),
                  Color::ink);
        const AdviceLook risk = riskLook(group_.risk);
        const double badgeH =
            badgeSize(risk.label, Fonts::badge.font(), kRiskPadH, kRiskPadV).height();
        paintBadge(p, QPointF(textX + titleW + kRiskGap, top + (titleH - badgeH) / 2), risk.label,
                   Fonts::badge.font(), risk.text, risk.fill, kRiskPadH, kRiskPadV);
        p.setFont(Fonts::secondary.font());
        p.setPen(Color::ink2);
        p.drawText(QRectF(textX, top + titleH + kGroupTitleGap, textW,
                          kGroupBlurbLines * Fonts::secondary.lineHeight()),
                   Qt::TextWordWrap,
                   elideLines(QString::fromStdString(group_.blurb), Fonts::secondary.font(), textW,
                              kGroupBlurbLines));
        const double sizeLH = Fonts::lineHeight(sizeTextFont(kGroupSize));
        const double colH = sizeLH + kGroupSizeGap + Fonts::itemDetail.lineHeight();
        const double colTop = headH / 2 - colH / 2;
        const double pw = sizeTextWidth(picked_.bytes(), kGroupSize);
        paintSizeText(
            p, QPointF(rightX - pw, colTop + QFontMetricsF(sizeTextFont(kGroupSize)).ascent()),
            picked_, kGroupSize, Color::ink, Color::ink2);
        paintDigitsRight(p,
                         QRectF(rightX - sizeW, colTop + sizeLH + kGroupSizeGap, sizeW,
                                Fonts::itemDetail.lineHeight()),
                         count, Fonts::itemDetail.font(), Color::ink3);
    }
    if (!showsList()) return;
    // The list fades in as the group opens and out as it closes.
    p.setOpacity(listOpacity());
    p.fillRect(QRectF(0, headH, width(), 1), Color::line);
    const std::size_t rows = rowCount();
    // Only the rows inside the repainted region are drawn.
    const double top = listTop();
    const double step = rowHeight() + kCleanRowGap;
    const auto first = std::size_t(std::max(0.0, (event->rect().top() - top) / step));
    const auto last = std::size_t(std::max(0.0, (event->rect().bottom() - top) / step)) + 1;
    const std::string home = homePath();
    rowTexts_.resize(rows);
    for (std::size_t i = first; i < std::min(rows, last); ++i) {
        const CleanItem& item = group_.items[i];
        if (item.node >= index->count()) continue;
        const QRectF r = rowRect(i);
        const bool on = picked.contains(item.node);
        const bool hover = rowList_->hoverRow() == int(i);
        if (hover) {
            p.setPen(Qt::NoPen);
            p.setBrush(Color::softFill);
            p.drawRoundedRect(r, kCleanRowRadius, kCleanRowRadius);
        }
        double x = r.left() + kCleanRowPadH;
        paintTickBox(p, QPointF(x, r.center().y() - kTickSide / 2),
                     on ? TickState::all : TickState::none, on ? 1 : 0);
        x += kTickSide + kCleanRowPartGap;
        const RowTexts& texts = rowTexts(i, *index, home);
        AppIcon::paint(p, QPointF(x, r.center().y() - kCleanIcon / 2), kCleanIcon, texts.icon);
        x += kCleanIcon + kCleanRowPartGap;
        const QString& size = texts.size;
        const double sizeW = texts.sizeWidth;
        const QRectF mag = magnifierRect(i);
        const QRectF sizeRect(mag.left() - kCleanRowPartGap - sizeW, r.top(), sizeW, r.height());
        const double textW = sizeRect.left() - kCleanRowPartGap - x;
        const double nameH = Fonts::itemTitle.lineHeight();
        const double subH = Fonts::itemDetail.lineHeight();
        const double textTop = r.center().y() - (nameH + kCleanLineGap + subH) / 2;
        const double subTop = textTop + nameH + kCleanLineGap;
        paintLine(p, QRectF(x, textTop, textW, nameH), texts.name, Fonts::itemTitle.font(),
                  Color::ink, Qt::ElideMiddle);
        const QString& parent = texts.parent;
        double noteW = 0;
        const QString& note = texts.note;
        if (item.note) noteW = std::min(texts.noteWidth, textW / 2);
        const double parentW = textW - (noteW > 0 ? noteW + kCleanNoteGap : 0);
        const double parentShown = std::min(parentW, texts.parentWidth);
        paintLine(p, QRectF(x, subTop, parentShown, subH), parent, Fonts::itemDetail.font(),
                  Color::ink3, Qt::ElideLeft);
        if (noteW > 0)
            paintLine(p, QRectF(x + parentShown + kCleanNoteGap, subTop, noteW, subH), note,
                      Fonts::itemDetail.font(), reviewInk());
        paintDigitsRight(p, sizeRect, size, Fonts::itemSize.font(), Color::ink);
        const bool focused = rowList_->showsRing(int(i));
        // The magnifier shows while the pointer or the keyboard's place is on the row.
        if (hover || focused)
            paintSymbol(p, mag, QStringLiteral("magnifyingglass"), kCleanMagnifierPoints,
                        Color::ink3);
        if (focused) paintFocusRing(p, roundedShape(r, kCleanRowRadius));
    }
    const QString more = moreLine();
    if (!more.isEmpty()) {
        const QFont& f = Fonts::secondary.font();
        const double y = top + rows * step + kMorePad;
        paintLine(p, QRectF(kMoreInset, y, width() - 2 * kMoreInset, Fonts::lineHeight(f)), more, f,
                  Color::ink3, Qt::ElideRight, Qt::AlignHCenter | Qt::AlignVCenter);
    }
}

const CleanGroupCard::RowTexts& CleanGroupCard::rowTexts(std::size_t row, const DiskIndex& index,
                                                         const std::string& home) {
    std::optional<RowTexts>& kept = rowTexts_[row];
    if (kept) return *kept;
    const CleanItem& item = group_.items[row];
    const std::string path = index.path(item.node);
    const auto owner = Owner::shared().app(path);
    RowTexts& t = kept.emplace();
    t.icon = QString::fromStdString(owner ? *owner : path);
    t.name = shownText(QString::fromStdString(index.name(item.node)));
    t.parent = parentLine(index, item.node, home);
    t.parentWidth = QFontMetricsF(Fonts::itemDetail.font()).horizontalAdvance(t.parent);
    if (item.note) {
        t.note = QString::fromStdString(*item.note);
        t.noteWidth = QFontMetricsF(Fonts::itemDetail.font()).horizontalAdvance(t.note);
    }
    t.size = Fmt::bytes(index.size(item.node));
    t.sizeWidth = Fonts::tabularWidth(Fonts::itemSize.font(), t.size);
    return t;
}

void CleanGroupCard::mouseMoveEvent(QMouseEvent* event) {
    const int row = rowList_->hoverRow();
    setToolTip(row >= 0 && magnifierRect(std::size_t(row)).contains(event->position())
                   ? QStringLiteral("Show in File Manager")
                   : QString());
}

void CleanGroupCard::flip(NodeId node) {
    if (model_.index()) model_.setClean({node}, !model_.cleanPicked().contains(node));
}

QRect CleanGroupCard::focusPart() const {
    const int top = int(headerHeight());
    return QRect(0, top, width(), std::max(0, height() - top));
}

void CleanGroupCard::followRows() {
    const int rows = open_ ? int(std::min(group_.items.size(), kGroupRowLimit)) : 0;
    if (rows == 0 && hasFocus()) {
        // Closed: the place goes back to the key that opens the rows again.
        expand_->setFocus(Qt::OtherFocusReason);
    }
    setFocusPolicy(rows == 0 ? Qt::NoFocus : Qt::TabFocus);
    // The rows keep their place while closed, for when they open again.
    if (rowList_) rowList_->rowsChanged();
}

}  // namespace tamrel
