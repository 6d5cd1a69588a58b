#include "ui/tools/CleanView.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <cmath>

#include "format/Fmt.h"
#include "model/apps/Owner.h"
#include "platform/XdgDirs.h"
#include "ui/results/AppIcon.h"
#include "ui/results/Confirmation.h"
#include "ui/results/ItemMenu.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Display.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/ShownText.h"
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
    setFocusPolicy(Qt::NoFocus);
}

QSize TextButton::sizeHint() const {
    const QFont f = Fonts::system(12, W::semibold);
    return QSize(int(std::ceil(QFontMetricsF(f).horizontalAdvance(text()))) + 2,
                 int(std::ceil(Fonts::lineHeight(f))));
}

void TextButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setOpacity(isDown() ? 0.6 : 1);
    paintLine(p, rect(), text(), Fonts::system(12, W::semibold), Color::tangerine);
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
    tickedBytes_ = model_.cleanSize();
    // The clean-up being prepared is part of the run the user confirmed.
    const bool cleaning = model_.trashing() || model_.preparingClean();
    const bool none = model_.cleanPicked().empty();
    clean_->setText(cleaning ? QStringLiteral("Cleaning\u2026") : QStringLiteral("Clean"));
    clean_->setEnabled(!none && !ToolsBusy::of(model_).busy() && model_.index());
    openTrash_->setVisible(trashNote(model_.trashSize()).has_value());
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
    openTrash_->setGeometry(int(width() - 18 - link.width()), int(18 + rowH + 12), link.width(),
                            link.height());
}

void CleanHeader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), 18);
    const std::uint64_t found = found_;
    const std::size_t n = tickedCount_;
    const std::uint64_t ticked = tickedBytes_;
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
                  ticked, 20, Color::screenGlow, Color::withOpacity(Color::screenGlow, 0.7));

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
      tick_(new TickBox(TickState::none, this)) {
    setMouseTracking(true);
    connect(tick_, &QAbstractButton::clicked, this, [this] {
        std::vector<NodeId> nodes;
        nodes.reserve(group_.items.size());
        for (const CleanItem& item : group_.items)
            nodes.push_back(item.node);
        model_.setClean(nodes, tick_->state() != TickState::all);
    });
    makeExpandKey();
    refresh();
}

void CleanGroupCard::makeExpandKey() {
    if (expand_) expand_->deleteLater();
    expand_ = new RoundKey(open_ ? QStringLiteral("chevron.up") : QStringLiteral("chevron.down"),
                           28, this);
    connect(expand_, &QAbstractButton::clicked, this, [this] {
        open_ = !open_;
        makeExpandKey();
        emit openChanged(open_);
    });
    expand_->show();
    resizeEvent(nullptr);
}

void CleanGroupCard::refresh() {
    const IndexRef index = model_.index();
    const NodeSet& picked = model_.cleanPicked();
    std::size_t pickedAll = 0;
    total_ = pickedBytes_ = 0;
    pickedCount_ = 0;
    for (const CleanItem& item : group_.items) {
        const bool on = picked.contains(item.node);
        pickedAll += on;
        if (!index || item.node >= index->count()) continue;
        const std::uint64_t size = index->size(item.node);
        total_ += size;
        if (on) {
            pickedBytes_ += size;
            ++pickedCount_;
        }
    }
    tick_->setState(tickState(pickedAll, group_.items.size()));
    update();
}

double CleanGroupCard::headerHeight() const {
    const double texts =
        Fonts::lineHeight(groupTitleFont()) + 3 + 2 * Fonts::lineHeight(blurbFont());
    return 16 + std::max(36.0, texts) + 16;
}

std::size_t CleanGroupCard::rowCount() const {
    return open_ ? std::min(group_.items.size(), kGroupRowLimit) : 0;
}

QString CleanGroupCard::moreLine() const {
    return groupMoreLine(group_.items.size());
}

double CleanGroupCard::heightFor(double) const {
    double h = headerHeight();
    if (open_) {
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
    const std::size_t rows = rowCount();
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
    const std::uint64_t pickedBytes = pickedBytes_;
    const std::size_t pickedCount = pickedCount_;
    const double headH = headerHeight();
    const QRectF header(0, 0, width(), headH);
    if (event->rect().intersects(header.toRect())) {
        const double glyphX = 16 + kTickSide + 12;
        paintGlyph(p, QPointF(glyphX, headH / 2 - 18), QString::fromStdString(group_.symbol),
                   groupHex(group_.id), 34);
        const QString count = groupCountLine(total, pickedCount, group_.items.size());
        const double sizeW =
            std::max(sizeTextWidth(pickedBytes, 17), Fonts::tabularWidth(countFont(), count));
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
        const double pw = sizeTextWidth(pickedBytes, 17);
        paintSizeText(
            p, QPointF(rightX - pw, colTop + QFontMetricsF(Fonts::system(17, W::bold)).ascent()),
            pickedBytes, 17, Color::ink, Color::ink2);
        paintDigitsRight(
            p, QRectF(rightX - sizeW, colTop + sizeLH + 1, sizeW, Fonts::lineHeight(countFont())),
            count, countFont(), Color::ink3);
    }
    if (!open_) return;
    p.fillRect(QRectF(0, headH, width(), 1), Color::line);
    const std::size_t rows = rowCount();
    // Only the rows inside the repainted region are drawn.
    const double top = headH + 1 + 8;
    const double step = rowHeight() + kRowGap;
    const auto first = std::size_t(std::max(0.0, (event->rect().top() - top) / step));
    const auto last = std::size_t(std::max(0.0, (event->rect().bottom() - top) / step)) + 1;
    const std::string home = homePath();
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
        const std::string path = index->path(item.node);
        const auto owner = Owner::shared().app(path);
        AppIcon::paint(p, QPointF(x, r.center().y() - 11), 22,
                       QString::fromStdString(owner ? *owner : path));
        x += 22 + 10;
        const QString size = Fmt::bytes(index->size(item.node));
        const double sizeW = Fonts::tabularWidth(rowSizeFont(), size);
        const QRectF mag = magnifierRect(i);
        const QRectF sizeRect(mag.left() - 10 - sizeW, r.top(), sizeW, r.height());
        const double textW = sizeRect.left() - 10 - x;
        const double nameH = Fonts::lineHeight(rowNameFont());
        const double subH = Fonts::lineHeight(rowSubFont());
        const double textTop = r.center().y() - (nameH + 2 + subH) / 2;
        paintLine(p, QRectF(x, textTop, textW, nameH),
                  shownText(QString::fromStdString(index->name(item.node))), rowNameFont(),
                  Color::ink, Qt::ElideMiddle);
        const QString parent = parentLine(*index, item.node, home);
        double noteW = 0;
        QString note;
        if (item.note) {
            note = QString::fromStdString(*item.note);
            noteW = std::min(QFontMetricsF(rowSubFont()).horizontalAdvance(note), textW / 2);
        }
        const double parentW = textW - (noteW > 0 ? noteW + 6 : 0);
        const double parentShown =
            std::min(parentW, QFontMetricsF(rowSubFont()).horizontalAdvance(parent));
        paintLine(p, QRectF(x, textTop + nameH + 2, parentShown, subH), parent, rowSubFont(),
                  Color::ink3, Qt::ElideLeft);
        if (noteW > 0)
            paintLine(p, QRectF(x + parentShown + 6, textTop + nameH + 2, noteW, subH), note,
                      rowSubFont(), reviewInk());
        paintDigitsRight(p, sizeRect, size, rowSizeFont(), Color::ink);
        if (hover) paintSymbol(p, mag, QStringLiteral("magnifyingglass"), 13, Color::ink3);
    }
    const QString more = moreLine();
    if (!more.isEmpty()) {
        const QFont f = Fonts::system(12, W::medium);
        const double y = top + rows * step + 10;
        paintLine(p, QRectF(18, y, width() - 36, Fonts::lineHeight(f)), more, f, Color::ink3,
                  Qt::ElideRight, Qt::AlignHCenter | Qt::AlignVCenter);
    }
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
    for (CleanGroupCard* card : cards_)
        delete card;
    cards_.clear();
    if (model_.index()) {
        for (const CleanGroup& group : model_.cleanPlan()) {
            auto* card = new CleanGroupCard(model_, group, openGroups_.contains(group.id), page_);
            connect(card, &CleanGroupCard::openChanged, this, [this, id = group.id](bool open) {
                if (open)
                    openGroups_.insert(id);
                else
                    openGroups_.erase(id);
                relayout();
            });
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
