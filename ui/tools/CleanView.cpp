#include "ui/tools/CleanView.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMessageBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

#include "format/Fmt.h"
#include "model/apps/Owner.h"
#include "platform/XdgDirs.h"
#include "ui/results/AppIcon.h"
#include "ui/results/Confirmation.h"
#include "ui/results/ItemMenu.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Glyph.h"
#include "ui/theme/Keys.h"
#include "ui/theme/LED.h"
#include "ui/theme/Screen.h"
#include "ui/theme/ShownText.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/TickBox.h"
#include "ui/tools/ToolsBusy.h"
#include "ui/tools/ToolsPaint.h"
#include "ui/tools/ToolsText.h"

namespace tamrel {
namespace {

using W = Fonts::Weight;

constexpr double kSide = 22;
constexpr double kSpacing = 14;
constexpr double kBottom = 110;
constexpr double kRowGap = 1;
constexpr Spring kExpandSpring{0.3, 0.85};

const QFont& headTitleFont() {
    static const QFont font = Fonts::system(20, W::bold, -0.5);
    return font;
}
const QFont& headLineFont() {
    static const QFont font = Fonts::system(13, W::medium);
    return font;
}
const QFont& tickedFont() {
    static const QFont font = Fonts::mono(9, W::semibold, 0.8);
    return font;
}
const QFont& noteFont() {
    static const QFont font = Fonts::system(12, W::medium);
    return font;
}
const QFont& groupTitleFont() {
    static const QFont font = Fonts::system(15, W::bold);
    return font;
}
const QFont& riskFont() {
    static const QFont font = Fonts::system(10.5, W::semibold);
    return font;
}
const QFont& blurbFont() {
    static const QFont font = Fonts::system(12, W::medium);
    return font;
}
const QFont& countFont() {
    static const QFont font = Fonts::system(11, W::medium);
    return font;
}
const QFont& rowNameFont() {
    static const QFont font = Fonts::system(12.5, W::semibold);
    return font;
}
const QFont& rowSubFont() {
    static const QFont font = Fonts::system(11, W::medium);
    return font;
}
const QFont& rowSizeFont() {
    static const QFont font = Fonts::system(12.5, W::bold);
    return font;
}

double rowHeight() {
    return 6 +
           std::max(22.0, Fonts::lineHeight(rowNameFont()) + 2 + Fonts::lineHeight(rowSubFont())) +
           6;
}

// The display of the header: "N TICKED" over the ticked size.
QSizeF tickedDisplaySize(std::size_t count, std::uint64_t bytes) {
    const QString line = QString::number(count) + QStringLiteral(" TICKED");
    const double w =
        std::max(QFontMetricsF(tickedFont()).horizontalAdvance(line), sizeTextWidth(bytes, 20));
    return QSizeF(w + 24, 8 + Fonts::lineHeight(tickedFont()) + 1 +
                              Fonts::lineHeight(Fonts::system(20, W::bold)) + 8);
}

std::string homePath() {
    return homeDirectory();
}

}  // namespace

bool openTrash(const std::function<bool(const QUrl&)>& open) {
    if (open(QUrl(QStringLiteral("trash:///")))) return true;
    return open(QUrl::fromLocalFile(QString::fromStdString(homeTrashDirectory() + "/files")));
}

// ---- TextButton

TextButton::TextButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

QSize TextButton::sizeHint() const {
    const QFont f = Fonts::system(12, W::semibold);
    return QSize(int(std::ceil(QFontMetricsF(f).horizontalAdvance(text()))) + 2 +
                     2 * kPadH,
                 int(std::ceil(Fonts::lineHeight(f))) + 2 * kPadV);
}

void TextButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setOpacity(isDown() ? 0.6 : 1);
    paintLine(p, rect().adjusted(kPadH, kPadV, -kPadH, -kPadV),
              text(), Fonts::system(12, W::semibold), Color::tangerine);
    if (hasFocus()) paintFocusRing(p, roundedShape(QRectF(rect()), 7));
}

// ---- Header

CleanHeader::CleanHeader(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      clean_(new KeyButton(QStringLiteral("Clean"), KeyKind::accent, true, this)),
      openTrash_(new TextButton(QStringLiteral("Open Trash"), this)),
      opener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    clean_->setSymbol(QStringLiteral("trash.fill"));
    connect(clean_, &QAbstractButton::clicked, this, [this] { model_.setConfirmClean(true); });
    connect(openTrash_, &QAbstractButton::clicked, this, [this] { openTrash(opener_); });
    connect(&ticked_, &SizeTextMotion::changed, this, qOverload<>(&QWidget::update));
    refresh();
}

double CleanHeader::heightFor() const {
    const double texts = Fonts::lineHeight(headTitleFont()) + 4 + Fonts::lineHeight(headLineFont());
    const double row =
        std::max({texts, tickedDisplaySize(0, 0).height(), double(clean_->sizeHint().height())});
    double h = 18 + row + 18;
    if (trashNote(model_.trashSize())) h += 12 + Fonts::lineHeight(noteFont());
    return h + 1;
}

void CleanHeader::refresh() {
    const IndexRef index = model_.index();
    found_ = 0;
    if (index) {
        for (const CleanGroup& g : model_.cleanPlan())
            for (const CleanItem& item : g.items)
                if (item.node < index->count()) found_ += index->size(item.node);
    }
    tickedCount_ = model_.cleanPicked().size();
    // The clean-up being prepared is part of the run the user confirmed.
    const bool cleaning = model_.trashing() || model_.preparingClean();
    const bool none = model_.cleanPicked().empty();
    clean_->setText(cleaning ? QStringLiteral("Cleaning\u2026") : QStringLiteral("Clean"));
    clean_->setEnabled(!none && !ToolsBusy::of(model_).busy() && model_.index());
    // Dimmed only for want of ticks: while a move runs it stays at full strength.
    clean_->setDisabledOpacity(none ? 0.5 : 1.0);
    openTrash_->setVisible(trashNote(model_.trashSize()).has_value());
    ticked_.setBytes(model_.cleanSize(), isVisible() && model_.animation().has_value());
    resizeEvent(nullptr);
    update();
}

void CleanHeader::resizeEvent(QResizeEvent*) {
    const QSize key = clean_->sizeHint();
    const double rowH =
        std::max({Fonts::lineHeight(headTitleFont()) + 4 + Fonts::lineHeight(headLineFont()),
                  tickedDisplaySize(0, 0).height(), double(key.height())});
    clean_->setGeometry(int(width() - 18 - key.width()), int(18 + (rowH - key.height()) / 2),
                        key.width(), key.height());
    const QSize link = openTrash_->sizeHint();
    // Its text lines up with the card's padding; the ring's room lies outside it.
    openTrash_->setGeometry(int(width() - 18 - link.width() + TextButton::kPadH),
                            int(18 + rowH + 12 - TextButton::kPadV), link.width(),
                            link.height());
}

void CleanHeader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), 18);
    const std::uint64_t found = found_;
    const std::size_t n = tickedCount_;
    const std::uint64_t ticked = ticked_.bytes();
    const QSizeF display = tickedDisplaySize(n, ticked);
    const double rowH =
        std::max({Fonts::lineHeight(headTitleFont()) + 4 + Fonts::lineHeight(headLineFont()),
                  display.height(), double(clean_->height())});
    const QRectF screen(clean_->x() - 16 - display.width(), 18 + (rowH - display.height()) / 2,
                        display.width(), display.height());
    paintScreen(p, screen, 11);
    const QFont tf = tickedFont();
    paintLine(
        p, QRectF(screen.left() + 12, screen.top() + 8, screen.width() - 24, Fonts::lineHeight(tf)),
        QString::number(n) + QStringLiteral(" TICKED"), tf, Color::withOpacity(Qt::white, 0.4),
        Qt::ElideNone, Qt::AlignRight | Qt::AlignVCenter);
    const double sizeW = sizeTextWidth(ticked, 20);
    paintSizeText(p,
                  QPointF(screen.right() - 12 - sizeW,
                          screen.top() + 8 + Fonts::lineHeight(tf) + 1 +
                              QFontMetricsF(Fonts::system(20, W::bold)).ascent()),
                  ticked_, 20, Color::screenGlow, Color::withOpacity(Color::screenGlow, 0.7));

    const double textW = screen.left() - 16 - 18;
    const double textsH =
        Fonts::lineHeight(headTitleFont()) + 4 + Fonts::lineHeight(headLineFont());
    const double top = 18 + (rowH - textsH) / 2;
    paintLine(p, QRectF(18, top, textW, Fonts::lineHeight(headTitleFont())),
              QStringLiteral("Clean up"), headTitleFont(), Color::ink);
    paintLine(p,
              QRectF(18, top + Fonts::lineHeight(headTitleFont()) + 4, textW,
                     Fonts::lineHeight(headLineFont())),
              cleanFoundLine(found), headLineFont(), Color::ink2);

    if (const auto note = trashNote(model_.trashSize())) {
        const double y = 18 + rowH + 12;
        const double lh = Fonts::lineHeight(noteFont());
        paintSymbol(p, QRectF(18, y, 14, lh), QStringLiteral("trash"), 12, Color::ink2);
        paintLine(p, QRectF(18 + 14 + 8, y, openTrash_->x() - 8 - 40, lh), *note, noteFont(),
                  Color::ink2);
    }
}

// ---- Group card

CleanGroupCard::CleanGroupCard(AppModel& model, CleanGroup group, bool open, QWidget* parent)
    : QWidget(parent),
      model_(model),
      group_(std::move(group)),
      open_(open),
      openness_(open ? 1 : 0),
      tick_(new TickBox(TickState::none, this)),
      expand_(new RoundKey(QStringLiteral("chevron.down"), 28, this)) {
    setMouseTracking(true);
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
    connect(&picked_, &SizeTextMotion::changed, this, [this] {
        update(QRect(0, 0, width(), int(std::ceil(headerHeight()))));
    });
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
    picked_.setBytes(pickedBytes, isVisible() && model_.animation().has_value());
    update();
}

void CleanGroupCard::rollFrom(std::uint64_t shown, bool animate) {
    const std::uint64_t bytes = picked_.bytes();
    picked_.setBytes(shown, false);
    picked_.setBytes(bytes, animate);
}

double CleanGroupCard::headerHeight() const {
    const double texts =
        Fonts::lineHeight(groupTitleFont()) + 3 + 2 * Fonts::lineHeight(blurbFont());
    return 16 + std::max(36.0, texts) + 16;
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
        h += 1 + 8 + rows * rowHeight() + (rows > 0 ? (rows - 1) * kRowGap : 0) + 8;
        if (!moreLine().isEmpty())
            h += kRowGap + 10 + Fonts::lineHeight(Fonts::system(12, W::medium)) + 10;
    }
    return h + 1;
}

QRectF CleanGroupCard::rowRect(std::size_t row) const {
    return QRectF(8, headerHeight() + 1 + 8 + row * (rowHeight() + kRowGap), width() - 16,
                  rowHeight());
}

QRectF CleanGroupCard::magnifierRect(std::size_t row) const {
    const QRectF r = rowRect(row);
    return QRectF(r.right() - 8 - 18, r.top(), 18, r.height());
}

std::optional<std::size_t> CleanGroupCard::rowAt(QPointF pos) const {
    // Rows fading out after a close take no clicks.
    const std::size_t rows = open_ ? rowCount() : 0;
    if (rows == 0) return std::nullopt;
    const double top = headerHeight() + 1 + 8;
    if (pos.y() < top) return std::nullopt;
    const auto row = std::size_t((pos.y() - top) / (rowHeight() + kRowGap));
    if (row >= rows || !rowRect(row).contains(pos)) return std::nullopt;
    return row;
}

void CleanGroupCard::resizeEvent(QResizeEvent*) {
    const double mid = headerHeight() / 2;
    tick_->move(16, int(mid - kTickSide / 2));
    if (expand_) {
        const QSize s = expand_->sizeHint();
        expand_->setGeometry(int(width() - 16 - s.width()), int(mid - s.height() / 2.0), s.width(),
                             s.height());
    }
}

void CleanGroupCard::paintEvent(QPaintEvent* event) {
    const IndexRef index = model_.index();
    if (!index) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), 18);
    p.setClipPath(roundedShape(QRectF(0, 0, width(), height() - 1), 18));

    const NodeSet& picked = model_.cleanPicked();
    const std::uint64_t total = total_;
    const std::size_t pickedCount = pickedCount_;
    const double headH = headerHeight();
    const QRectF header(0, 0, width(), headH);
    if (event->rect().intersects(header.toRect())) {
        const double glyphX = 16 + kTickSide + 12;
        paintGlyph(p, QPointF(glyphX, headH / 2 - 18), QString::fromStdString(group_.symbol),
                   groupHex(group_.id), 34);
        const QString count = groupCountLine(total, pickedCount, group_.items.size());
        const double sizeW = std::max(sizeTextWidth(picked_.bytes(), 17),
                                      Fonts::tabularWidth(countFont(), count));
        const double rightX = (expand_ ? expand_->x() : width() - 16) - 12;
        const double textX = glyphX + 34 + 12;
        const double textW = rightX - sizeW - 12 - textX;
        const double textsH =
            Fonts::lineHeight(groupTitleFont()) + 3 + 2 * Fonts::lineHeight(blurbFont());
        const double top = headH / 2 - textsH / 2;
        const QString title = QString::fromStdString(group_.title);
        const double titleW =
            std::min(QFontMetricsF(groupTitleFont()).horizontalAdvance(title), textW);
        paintLine(p, QRectF(textX, top, titleW, Fonts::lineHeight(groupTitleFont())), title,
                  groupTitleFont(), Color::ink);
        const AdviceLook risk = riskLook(group_.risk);
        const double badgeH = badgeSize(risk.label, riskFont(), 6, 2).height();
        paintBadge(
            p,
            QPointF(textX + titleW + 8, top + (Fonts::lineHeight(groupTitleFont()) - badgeH) / 2),
            risk.label, riskFont(), risk.text, risk.fill, 6, 2);
        p.setFont(blurbFont());
        p.setPen(Color::ink2);
        p.drawText(QRectF(textX, top + Fonts::lineHeight(groupTitleFont()) + 3, textW,
                          2 * Fonts::lineHeight(blurbFont())),
                   Qt::TextWordWrap,
                   elideLines(QString::fromStdString(group_.blurb), blurbFont(), textW, 2));
        const double sizeLH = Fonts::lineHeight(Fonts::system(17, W::bold));
        const double colH = sizeLH + 1 + Fonts::lineHeight(countFont());
        const double colTop = headH / 2 - colH / 2;
        const double pw = sizeTextWidth(picked_.bytes(), 17);
        paintSizeText(
            p, QPointF(rightX - pw, colTop + QFontMetricsF(Fonts::system(17, W::bold)).ascent()),
            picked_, 17, Color::ink, Color::ink2);
        paintDigitsRight(
            p, QRectF(rightX - sizeW, colTop + sizeLH + 1, sizeW, Fonts::lineHeight(countFont())),
            count, countFont(), Color::ink3);
    }
    if (!showsList()) return;
    // The list fades in as the group opens and out as it closes.
    p.setOpacity(listOpacity());
    p.fillRect(QRectF(0, headH, width(), 1), Color::line);
    const std::size_t rows = rowCount();
    // Only the rows inside the repainted region are drawn.
    const double top = headH + 1 + 8;
    const double step = rowHeight() + kRowGap;
    const auto first = std::size_t(std::max(0.0, (event->rect().top() - top) / step));
    const auto last = std::size_t(std::max(0.0, (event->rect().bottom() - top) / step)) + 1;
    const std::string home = homePath();
    rowTexts_.resize(rows);
    for (std::size_t i = first; i < std::min(rows, last); ++i) {
        const CleanItem& item = group_.items[i];
        if (item.node >= index->count()) continue;
        const QRectF r = rowRect(i);
        const bool on = picked.contains(item.node);
        const bool hover = hoverRow_ == i;
        if (hover) {
            p.setPen(Qt::NoPen);
            p.setBrush(Color::withOpacity(Color::ink, 0.04));
            p.drawRoundedRect(r, 9, 9);
        }
        double x = r.left() + 8;
        paintTickBox(p, QPointF(x, r.center().y() - kTickSide / 2),
                     on ? TickState::all : TickState::none, on ? 1 : 0);
        x += kTickSide + 10;
        const RowTexts& texts = rowTexts(i, *index, home);
        AppIcon::paint(p, QPointF(x, r.center().y() - 11), 22, texts.icon);
        x += 22 + 10;
        const QString& size = texts.size;
        const double sizeW = texts.sizeWidth;
        const QRectF mag = magnifierRect(i);
        const QRectF sizeRect(mag.left() - 10 - sizeW, r.top(), sizeW, r.height());
        const double textW = sizeRect.left() - 10 - x;
        const double nameH = Fonts::lineHeight(rowNameFont());
        const double subH = Fonts::lineHeight(rowSubFont());
        const double textTop = r.center().y() - (nameH + 2 + subH) / 2;
        paintLine(p, QRectF(x, textTop, textW, nameH), texts.name, rowNameFont(), Color::ink,
                  Qt::ElideMiddle);
        const QString& parent = texts.parent;
        double noteW = 0;
        const QString& note = texts.note;
        if (item.note) noteW = std::min(texts.noteWidth, textW / 2);
        const double parentW = textW - (noteW > 0 ? noteW + 6 : 0);
        const double parentShown = std::min(parentW, texts.parentWidth);
        paintLine(p, QRectF(x, textTop + nameH + 2, parentShown, subH), parent, rowSubFont(),
                  Color::ink3, Qt::ElideLeft);
        if (noteW > 0)
            paintLine(p, QRectF(x + parentShown + 6, textTop + nameH + 2, noteW, subH), note,
                      rowSubFont(), reviewInk());
        paintDigitsRight(p, sizeRect, size, rowSizeFont(), Color::ink);
        const bool focused = hasFocus() && focusRow_ == int(i);
        // The magnifier shows while the pointer or the keyboard's place is on the row.
        if (hover || focused) paintSymbol(p, mag, QStringLiteral("magnifyingglass"), 13, Color::ink3);
        if (focused) paintFocusRing(p, roundedShape(r, 9));
    }
    const QString more = moreLine();
    if (!more.isEmpty()) {
        const QFont f = Fonts::system(12, W::medium);
        const double y = top + rows * step + 10;
        paintLine(p, QRectF(18, y, width() - 36, Fonts::lineHeight(f)), more, f, Color::ink3,
                  Qt::ElideRight, Qt::AlignHCenter | Qt::AlignVCenter);
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
    t.parentWidth = QFontMetricsF(rowSubFont()).horizontalAdvance(t.parent);
    if (item.note) {
        t.note = QString::fromStdString(*item.note);
        t.noteWidth = QFontMetricsF(rowSubFont()).horizontalAdvance(t.note);
    }
    t.size = Fmt::bytes(index.size(item.node));
    t.sizeWidth = Fonts::tabularWidth(rowSizeFont(), t.size);
    return t;
}

void CleanGroupCard::mouseMoveEvent(QMouseEvent* event) {
    const auto row = rowAt(event->position());
    if (row != hoverRow_) {
        // Only the rows that change are drawn again.
        if (hoverRow_) update(rowRect(*hoverRow_).toAlignedRect());
        if (row) update(rowRect(*row).toAlignedRect());
        hoverRow_ = row;
    }
    setToolTip(row && magnifierRect(*row).contains(event->position())
                   ? QStringLiteral("Show in File Manager")
                   : QString());
}

void CleanGroupCard::leaveEvent(QEvent*) {
    if (hoverRow_) update(rowRect(*hoverRow_).toAlignedRect());
    hoverRow_.reset();
}

void CleanGroupCard::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !model_.index()) return;
    const auto row = rowAt(event->position());
    if (!row) return;
    const NodeId node = group_.items[*row].node;
    if (magnifierRect(*row).contains(event->position())) {
        revealNode(model_, node);
        return;
    }
    model_.setClean({node}, !model_.cleanPicked().contains(node));
}

void CleanGroupCard::contextMenuEvent(QContextMenuEvent* event) {
    const auto row = rowAt(event->pos());
    if (!row || !model_.index()) return;
    makeItemMenu(model_, group_.items[*row].node, true, this)->popup(event->globalPos());
}

QRect CleanGroupCard::focusPart() const {
    const int top = int(headerHeight());
    return QRect(0, top, width(), std::max(0, height() - top));
}

void CleanGroupCard::followRows() {
    const int rows = open_ ? int(std::min(group_.items.size(), kGroupRowLimit)) : 0;
    if (rows == 0) {
        // Closed: the place goes back to the key that opens the rows again.
        if (hasFocus()) expand_->setFocus(Qt::OtherFocusReason);
        setFocusPolicy(Qt::NoFocus);
        focusRow_ = -1;
        return;
    }
    setFocusPolicy(Qt::TabFocus);
    focusRow_ = std::clamp(focusRow_, 0, rows - 1);
}

void CleanGroupCard::setFocusRow(int row) {
    if (row == focusRow_) return;
    if (focusRow_ >= 0) update(rowRect(std::size_t(focusRow_)).toAlignedRect());
    focusRow_ = row;
    if (row < 0) return;
    const QRectF r = rowRect(std::size_t(row));
    update(r.toAlignedRect());
    // Into view in the page's scroll area.
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(w); area && area->widget()) {
            const QPoint centre = mapTo(area->widget(), r.center().toPoint());
            area->ensureVisible(centre.x(), centre.y(), 0, int(r.height()));
            break;
        }
    }
}

void CleanGroupCard::keyPressEvent(QKeyEvent* event) {
    const int rows = open_ ? int(rowCount()) : 0;
    if (const auto to = steppedEntry(*event, focusRow_, rows)) {
        setFocusRow(*to);
        return;
    }
    const bool acts = focusRow_ >= 0 && focusRow_ < rows && model_.index();
    const NodeId node = acts ? group_.items[std::size_t(focusRow_)].node : NONE;
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        if (acts) model_.setClean({node}, !model_.cleanPicked().contains(node));
        return;
    }
    if (opensEntry(*event)) {
        if (acts) revealNode(model_, node);
        return;
    }
    if (opensMenu(*event)) {
        if (!acts) return;
        const QRectF r = rowRect(std::size_t(focusRow_));
        makeItemMenu(model_, node, true, this)
            ->popup(mapToGlobal(QPoint(int(r.left()) + 40, int(r.bottom()))));
        return;
    }
    QWidget::keyPressEvent(event);
}

void CleanGroupCard::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (focusRow_ < 0 && rowCount() > 0) focusRow_ = 0;
    const int row = focusRow_;
    focusRow_ = -1;
    setFocusRow(row);
}

void CleanGroupCard::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (focusRow_ >= 0) update(rowRect(std::size_t(focusRow_)).toAlignedRect());
}

// ---- The empty state

namespace {

class EmptyCleanCard : public QWidget {
public:
    explicit EmptyCleanCard(QWidget* parent) : QWidget(parent) {
        led_ = new LED(Color::led, false, this);
    }
    static double cardHeight() {
        return 60 + 15 + 10 + Fonts::lineHeight(Fonts::system(16, W::bold)) + 10 +
               Fonts::lineHeight(Fonts::system(12.5, W::medium)) + 60 + 1;
    }

protected:
    void resizeEvent(QResizeEvent*) override { led_->setGeometry((width() - 15) / 2, 60, 15, 15); }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        paintCard(p, QRectF(0, 0, width(), height() - 1), 18);
        const QFont title = Fonts::system(16, W::bold);
        const QFont text = Fonts::system(12.5, W::medium);
        double y = 60 + 15 + 10;
        paintLine(p, QRectF(0, y, width(), Fonts::lineHeight(title)),
                  QStringLiteral("Nothing to clean right now"), title, Color::ink, Qt::ElideRight,
                  Qt::AlignHCenter | Qt::AlignVCenter);
        y += Fonts::lineHeight(title) + 10;
        paintLine(
            p, QRectF(0, y, width(), Fonts::lineHeight(text)),
            QStringLiteral(
                "Caches, logs, build folders and installers will show up here as they pile up."),
            text, Color::ink2, Qt::ElideRight, Qt::AlignHCenter | Qt::AlignVCenter);
    }

private:
    LED* led_;
};

}  // namespace

// ---- The screen

CleanView::CleanView(AppModel& model, QWidget* parent)
    : QScrollArea(parent), model_(model), page_(new QWidget) {
    setBareContent(*this, page_, false);
    header_ = new CleanHeader(model_, page_);
    empty_ = new EmptyCleanCard(page_);

    connect(&model_, &AppModel::cleanPlanChanged, this, &CleanView::rebuild);
    connect(&model_, &AppModel::indexChanged, this, &CleanView::rebuild);
    for (auto signal : {&AppModel::cleanPickedChanged, &AppModel::trashingChanged,
                        &AppModel::trashSizeChanged, &AppModel::revisionChanged})
        connect(&model_, signal, this, &CleanView::refresh);
    connect(&ToolsBusy::of(model_), &ToolsBusy::changed, this, &CleanView::refresh);
    connect(&model_, &AppModel::confirmCleanChanged, this, &CleanView::followConfirm);
    rebuild();
    followConfirm();
}

bool CleanView::showsEmptyState() const {
    return empty_->isVisible();
}

void CleanView::rebuild() {
    // What the cards showed: a new plan rolls their ticked sizes from there in an animated step.
    std::map<std::string, std::uint64_t> shown;
    for (CleanGroupCard* card : cards_) {
        shown[card->group().id] = card->pickedMotion().bytes();
        delete card;
    }
    cards_.clear();
    const bool animate = isVisible() && model_.animation().has_value();
    if (model_.index()) {
        for (const CleanGroup& group : model_.cleanPlan()) {
            auto* card = new CleanGroupCard(model_, group, openGroups_.contains(group.id), page_);
            if (const auto was = shown.find(group.id); was != shown.end())
                card->rollFrom(was->second, animate);
            connect(card, &CleanGroupCard::openChanged, this, [this, id = group.id](bool open) {
                if (open)
                    openGroups_.insert(id);
                else
                    openGroups_.erase(id);
                relayout();
            });
            connect(card, &CleanGroupCard::heightChanged, this, &CleanView::relayout);
            card->show();
            cards_.push_back(card);
        }
    }
    empty_->setVisible(model_.cleanPlan().empty());
    refresh();
}

void CleanView::refresh() {
    header_->refresh();
    for (CleanGroupCard* card : cards_)
        card->refresh();
    if (confirm_)
        confirm_->setText(cleanConfirmTitle(model_.cleanPicked().size(), model_.cleanSize()));
    relayout();
}

void CleanView::relayout() {
    const double width = viewport()->width();
    const double inner = width - 2 * kSide;
    double y = 0;
    header_->setGeometry(int(kSide), 0, int(inner), int(std::ceil(header_->heightFor())));
    y += header_->height() + kSpacing;
    if (empty_->isVisible()) {
        empty_->setGeometry(int(kSide), int(y), int(inner), int(EmptyCleanCard::cardHeight()));
        y += empty_->height() + kSpacing;
    }
    for (CleanGroupCard* card : cards_) {
        card->setGeometry(int(kSide), int(y), int(inner), int(std::ceil(card->heightFor(inner))));
        y += card->height() + kSpacing;
    }
    page_->resize(int(width), int(std::ceil(y - kSpacing + kBottom)));
}

void CleanView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    relayout();
}

void CleanView::followConfirm() {
    if (!model_.confirmClean()) {
        if (confirm_) confirm_->close();
        return;
    }
    if (confirm_) return;
    auto [box, move] =
        makeConfirmation(this, QStringLiteral("Clean up"), QStringLiteral("Move to Trash"));
    box->setText(cleanConfirmTitle(model_.cleanPicked().size(), model_.cleanSize()));
    box->setInformativeText(
        QStringLiteral("Everything goes to the Trash, so you can put it back. Anything that "
                       "belongs to an app you open in the meantime is skipped."));
    // The title follows the ticks of the shown generation (refresh), and the run takes the ticks
    // of the shown generation when pressed: it moves what the title names.
    const auto followBusy = [this, move] {
        if (confirm_) move->setEnabled(!ToolsBusy::of(model_).busy());
    };
    connect(&ToolsBusy::of(model_), &ToolsBusy::changed, box, followBusy);
    connect(box, &QMessageBox::finished, this, [this, box, move] {
        if (box->clickedButton() == move) ToolsBusy::of(model_).startClean();
        model_.setConfirmClean(false);
    });
    confirm_ = box;
    followBusy();
    box->open();
}

}  // namespace tamrel
