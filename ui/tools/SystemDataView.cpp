#include "ui/tools/SystemDataView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <map>

#include "format/Fmt.h"
#include "model/apps/Owner.h"
#include "platform/XdgDirs.h"
#include "ui/results/AppIcon.h"
#include "ui/results/ItemMenu.h"
#include "ui/results/ResultsHeader.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/EasedValue.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Glyph.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/Palette.h"
#include "ui/theme/Panel.h"
#include "ui/theme/ShownText.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/SystemDataMetrics.h"
#include "ui/tools/ToolsPaint.h"

namespace tamrel {
namespace {

constexpr int kItemLines = int(kBucketItemLines);
constexpr Spring kCleanTheseUpSpring{0.3, 0.8};

// The room a bucket card keeps under its items for the plan's note: its lines and a gap.
double planNoteRoom() {
    return kPlanNoteLines * Fonts::planNote.lineHeight() + kPlanNoteGap;
}

double sizeTextHeight(double size) {
    return Fonts::lineHeight(sizeTextFont(size));
}

// The bucket card's header height: the tallest of the glyph, the title over its badge and the
// size read-out.
double bucketHeaderHeight() {
    const double texts = Fonts::cardTitle.lineHeight() + kBucketBadgeGap +
                         Fonts::cardBadge.lineHeight() + 2 * kBucketBadgePadV;
    return std::max({kBucketHeaderLeast, texts, sizeTextHeight(kBucketSize)});
}

double keyHeight() {
    return tamrel::keyHeight(false);
}

// The blurb, the item lines and the keys under the header, kBucketGap apart.
double blurbTop() {
    return kCardPad + bucketHeaderHeight() + kBucketGap;
}
double itemsTop() {
    return blurbTop() + kBucketBlurbLines * Fonts::blurb.lineHeight() + kBucketGap;
}

double noteHeight(const QString& text, double width) {
    return wrappedHeight(text, Fonts::blurb.font(), width - 2 * kNotePad - kNoteTextInset) +
           2 * kNotePad;
}

// The texts of a hidden-space row in a card `width` wide: after the glyph, to the padding.
double hiddenTextWidth(double width) {
    return width - kCardPad - (kCardPad + kHiddenGlyph + kHiddenGap);
}

}  // namespace

// ---- Summary

SystemSummary::SystemSummary(RuleSet rules, QWidget* parent) : QWidget(parent), rules_(rules) {
    setMouseTracking(true);
    connect(&fade_, &EasedValue::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&total_, &SizeTextMotion::changed, this, qOverload<>(&QWidget::update));
}

void SystemSummary::rollFrom(std::uint64_t shown, bool animate) {
    const std::uint64_t total = barTotal(segments_);
    total_.setBytes(shown, false);
    total_.setBytes(total, animate);
}

double SystemSummary::segmentOpacity(std::size_t i) const {
    const double target = hovered_ && *hovered_ != i ? kSegmentDimmed : 1.0;
    if (!fade_.moving() || i >= fadeFrom_.size()) return target;
    const double t = fade_.value();
    return fadeFrom_[i] + (target - fadeFrom_[i]) * t;
}

void SystemSummary::setHovered(std::optional<std::size_t> over) {
    if (over == hovered_) return;
    std::vector<double> from(segments_.size());
    for (std::size_t i = 0; i < from.size(); ++i)
        from[i] = segmentOpacity(i);
    fadeFrom_ = std::move(from);
    hovered_ = over;
    fade_.setValue(0);
    fade_.animateTo(1, kFadeMs);
    update();
}

double SystemSummary::cardHeight() {
    const double header =
        std::max(Fonts::screenTitle.lineHeight() + kTitleGap + Fonts::subtitle.lineHeight(),
                 sizeTextHeight(kTotalSize));
    return kHeaderPad + header + kSummaryBarGap + kSummaryBar + kHeaderPad;
}

void SystemSummary::setReport(const SystemDataReport& report) {
    segments_ = barSegments(report, rules_);
    total_.setBytes(barTotal(segments_), false);
    hovered_.reset();
    fade_.setValue(1);
    fadeFrom_.clear();
    update();
}

QRectF SystemSummary::barRect() const {
    return QRectF(kHeaderPad, cardHeight() - kHeaderPad - kSummaryBar, width() - 2 * kHeaderPad,
                  kSummaryBar);
}

std::vector<QRectF> SystemSummary::segmentRects() const {
    const QRectF bar = barRect();
    const std::vector<double> widths = barWidths(segments_, bar.width());
    std::vector<QRectF> rects;
    rects.reserve(widths.size());
    double x = bar.left();
    for (double w : widths) {
        rects.emplace_back(x, bar.top(), w, bar.height());
        x += w + kBarSegmentGap;
    }
    return rects;
}

void SystemSummary::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), kCardRadius);
    const QFont& title = Fonts::screenTitle.font();
    const QFont& sub = Fonts::subtitle.font();
    const double sizeW = sizeTextWidth(total_.bytes(), kTotalSize, kTotalTracking);
    const double textW = width() - 2 * kHeaderPad - sizeW - kSummaryTextGap;
    paintLine(p, QRectF(kHeaderPad, kHeaderPad, textW, Fonts::lineHeight(title)),
              QStringLiteral("System Data, explained"), title, Color::ink);
    paintLine(p,
              QRectF(kHeaderPad, kHeaderPad + Fonts::lineHeight(title) + kTitleGap, textW,
                     Fonts::lineHeight(sub)),
              summaryLine(rules_), sub, Color::ink2);
    const double ascent = QFontMetricsF(sizeTextFont(kTotalSize)).ascent();
    paintSizeText(p, QPointF(width() - kHeaderPad - sizeW, kHeaderPad + ascent), total_, kTotalSize,
                  Color::ink, Color::ink2, kTotalTracking);
    const std::vector<QRectF> rects = segmentRects();
    p.setPen(Qt::NoPen);
    for (std::size_t i = 0; i < rects.size(); ++i) {
        p.setOpacity(segmentOpacity(i));
        p.setBrush(Palette::color(segments_[i].hex));
        p.drawRoundedRect(rects[i], kSegmentRadius, kSegmentRadius);
    }
}

void SystemSummary::mouseMoveEvent(QMouseEvent* event) {
    std::optional<std::size_t> over;
    const std::vector<QRectF> rects = segmentRects();
    for (std::size_t i = 0; i < rects.size(); ++i) {
        if (rects[i].contains(event->position())) over = i;
    }
    if (over != hovered_) {
        setHovered(over);
        if (over)
            QToolTip::showText(event->globalPosition().toPoint(), segmentTip(segments_[*over]),
                               this);
        else
            QToolTip::hideText();
    }
}

void SystemSummary::leaveEvent(QEvent*) {
    setHovered(std::nullopt);
}

// ---- Bucket card

double BucketCard::cardHeight(bool noteRoom) {
    return itemsTop() + kItemLines * kItemLineHeight + (kItemLines - 1) * kItemLineGap +
           (noteRoom ? planNoteRoom() : 0) + kBucketGap + keyHeight() + kCardPad;
}

BucketCard::BucketCard(AppModel& model, SpaceBucket bucket, IndexRef index, CleanKeyLook keyLook,
                       QWidget* parent)
    : QWidget(parent),
      model_(model),
      bucket_(std::move(bucket)),
      index_(std::move(index)),
      keyLook_(std::move(keyLook)),
      size_(bucket_.bytes) {
    setMouseTracking(true);
    connect(&size_, &SizeTextMotion::changed, this, qOverload<>(&QWidget::update));
    if (keyLook_.key) {
        clean_ = new KeyButton(QStringLiteral("Clean these up"), KeyKind::accent, false, this);
        clean_->setSymbol(QStringLiteral("arrow.right"));
        // The Clean up screen comes in on the key's own spring.
        connect(clean_, &QAbstractButton::clicked, this,
                [this] { selectTab(model_, Tab::tidy, kCleanTheseUpSpring); });
    }
    // The item lines take the focus while there are any to open.
    setFocusPolicy(lineCount() > 0 ? Qt::TabFocus : Qt::NoFocus);
    if (!bucket_.roots.empty()) {
        look_ = new KeyButton(QStringLiteral("Look inside"), KeyKind::plain, false, this);
        look_->setSymbol(QStringLiteral("arrow.right"));
        connect(look_, &QAbstractButton::clicked, this, [this] {
            // Only in the generation the bucket's ids belong to.
            if (index_ && model_.index() == index_) model_.open(bucket_.roots.front());
        });
    }
}

void BucketCard::rollFrom(std::uint64_t shown, bool animate) {
    size_.setBytes(shown, false);
    size_.setBytes(bucket_.bytes, animate);
}

void BucketCard::resizeEvent(QResizeEvent*) {
    double x = kCardPad;
    const double y = height() - 1 - kCardPad - keyHeight();
    for (KeyButton* key : {clean_, look_}) {
        if (!key) continue;
        key->resize(key->sizeHint());
        key->move(int(x), int(y));
        x += key->width() + kBucketKeyGap;
    }
}

QRectF BucketCard::itemRect(int row) const {
    return QRectF(kCardPad, itemsTop() + row * (kItemLineHeight + kItemLineGap),
                  width() - 2 * kCardPad, kItemLineHeight);
}

std::optional<NodeId> BucketCard::itemAt(QPointF pos) const {
    if (!index_) return std::nullopt;
    const int lines = int(std::min<std::size_t>(kItemLines, bucket_.top.size()));
    for (int i = 0; i < lines; ++i) {
        if (itemRect(i).contains(pos)) return bucket_.top[std::size_t(i)];
    }
    return std::nullopt;
}

void BucketCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), kCardRadius);
    const std::uint32_t hex = bucketHex(bucket_.id);
    const AdviceLook advice = adviceLook(bucket_.advice);
    paintGlyph(p, QPointF(kCardPad, kCardPad), QString::fromStdString(bucket_.symbol), hex,
               kBucketGlyph);
    const double sizeW = sizeTextWidth(bucket_.bytes, kBucketSize, kBucketTracking);
    const double textX = kCardPad + kBucketGlyph + kBucketGap;
    const double textW = width() - kCardPad - sizeW - kBucketSizeGap - textX;
    const QFont& title = Fonts::cardTitle.font();
    paintLine(p, QRectF(textX, kCardPad, textW, Fonts::lineHeight(title)),
              QString::fromStdString(bucket_.title), title, Color::ink);
    paintBadge(p, QPointF(textX, kCardPad + Fonts::lineHeight(title) + kBucketBadgeGap),
               advice.label, Fonts::cardBadge.font(), advice.text, advice.fill, kBucketBadgePadH,
               kBucketBadgePadV);
    paintSizeText(p,
                  QPointF(width() - kCardPad - sizeW,
                          kCardPad + QFontMetricsF(sizeTextFont(kBucketSize)).ascent()),
                  size_, kBucketSize, Color::ink, Color::ink2, kBucketTracking);
    const QFont& blurb = Fonts::blurb.font();
    const double textWidth = width() - 2 * kCardPad;
    p.setFont(blurb);
    p.setPen(Color::ink2);
    if (blurbWidth_ != width()) {
        // Laid out once per width: breaking text into lines is the costly part of a repaint.
        blurbWidth_ = width();
        blurbText_ =
            elideLines(QString::fromStdString(bucket_.blurb), blurb, textWidth, kBucketBlurbLines);
        if (!keyLook_.note.isEmpty())
            noteText_ =
                elideLines(keyLook_.note, Fonts::planNote.font(), textWidth, kPlanNoteLines);
    }
    p.drawText(
        QRectF(kCardPad, blurbTop(), textWidth, kBucketBlurbLines * Fonts::lineHeight(blurb)),
        Qt::TextWordWrap, blurbText_);

    if (!index_) return;
    if (!keyLook_.note.isEmpty()) {
        const QFont& font = Fonts::planNote.font();
        const QRectF under = itemRect(kItemLines - 1);
        const QRectF note(kCardPad, under.bottom() + kPlanNoteGap, textWidth,
                          kPlanNoteLines * Fonts::lineHeight(font));
        p.setFont(font);
        p.setPen(reviewInk());
        p.drawText(note, Qt::TextWordWrap, noteText_);
    }
    const int lines = int(std::min<std::size_t>(kItemLines, bucket_.top.size()));
    const QFont& name = Fonts::itemTitle.font();
    const QFont& size = Fonts::secondary.font();
    for (int i = 0; i < lines; ++i) {
        const NodeId node = bucket_.top[std::size_t(i)];
        if (node >= index_->count()) continue;
        const QRectF r = itemRect(i);
        p.setPen(Qt::NoPen);
        p.setBrush(Color::withOpacity(Color::ink, i == hoverRow_ ? kItemLineHover : kItemLineRest));
        p.drawRoundedRect(r, kItemRadius, kItemRadius);
        const QRectF icon(r.left() + kItemLinePad, r.center().y() - kItemLineIcon / 2,
                          kItemLineIcon, kItemLineIcon);
        if (const auto owner = Owner::shared().app(index_->path(node))) {
            AppIcon::paint(p, icon.topLeft(), kItemLineIcon, QString::fromStdString(*owner));
        } else {
            p.setBrush(Palette::color(hex));
            p.drawEllipse(QRectF(icon.center().x() - kItemLineDot / 2,
                                 icon.center().y() - kItemLineDot / 2, kItemLineDot, kItemLineDot));
        }
        // The bytes the bucket counts of the item, from the same report as its total.
        const QString bytes = Fmt::bytes(std::size_t(i) < bucket_.topBytes.size()
                                             ? bucket_.topBytes[std::size_t(i)]
                                             : index_->size(node));
        const double bytesW = Fonts::tabularWidth(size, bytes);
        const double chevronX = r.right() - kItemLinePad - kChevronWidth;
        const QRectF bytesRect(chevronX - kItemLinePartGap - bytesW, r.top(), bytesW, r.height());
        const double nameX = icon.right() + kItemLinePartGap;
        paintLine(
            p, QRectF(nameX, r.top(), bytesRect.left() - kItemLinePartGap - nameX, r.height()),
            friendlyName(*index_, node, AppModel::ruleSet()), name, Color::ink, Qt::ElideMiddle);
        paintDigitsRight(p, bytesRect, bytes, size, Color::ink2);
        paintSymbol(p, QRectF(chevronX, r.top(), kChevronWidth, r.height()),
                    QStringLiteral("chevron.right"), kChevronPoints, Color::ink3);
        if (hasFocus() && i == focusLine_) paintFocusRing(p, roundedShape(r, kItemRadius));
    }
}

void BucketCard::mouseMoveEvent(QMouseEvent* event) {
    int row = -1;
    for (int i = 0; i < kItemLines; ++i) {
        if (itemAt(event->position()) && itemRect(i).contains(event->position())) row = i;
    }
    setCursor(row >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (row != hoverRow_) {
        hoverRow_ = row;
        update();
    }
}

void BucketCard::leaveEvent(QEvent*) {
    hoverRow_ = -1;
    update();
}

void BucketCard::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const auto node = itemAt(event->position());
    // The model opens folders only; a file's line changes nothing.
    if (node && model_.index() == index_) model_.open(*node);
}

void BucketCard::contextMenuEvent(QContextMenuEvent* event) {
    const auto node = itemAt(event->pos());
    if (!node || model_.index() != index_) return;
    makeItemMenu(model_, *node, false, this)->popup(event->globalPos());
}

int BucketCard::lineCount() const {
    return index_ ? int(std::min<std::size_t>(kItemLines, bucket_.top.size())) : 0;
}

QRect BucketCard::focusPart() const {
    const QRectF first = itemRect(0);
    return QRectF(first.left(), first.top(), first.width(), itemRect(kItemLines - 1).bottom() - first.top())
        .toAlignedRect();
}

void BucketCard::keyPressEvent(QKeyEvent* event) {
    if (const auto to = steppedEntry(*event, focusLine_, lineCount())) {
        focusLine_ = *to;
        update();
        return;
    }
    const bool acts = focusLine_ >= 0 && focusLine_ < lineCount() && model_.index() == index_;
    const NodeId node = acts ? bucket_.top[std::size_t(focusLine_)] : NONE;
    if (opensEntry(*event)) {
        // The model opens folders only; a file's line changes nothing, as a click.
        if (acts) model_.open(node);
        return;
    }
    if (opensMenu(*event)) {
        if (!acts) return;
        const QRectF r = itemRect(focusLine_);
        makeItemMenu(model_, node, false, this)
            ->popup(mapToGlobal(QPoint(int(r.left()) + kItemLineMenuInset, int(r.bottom()))));
        return;
    }
    QWidget::keyPressEvent(event);
}

void BucketCard::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (focusLine_ < 0 && lineCount() > 0) focusLine_ = 0;
    update();
}

void BucketCard::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

// ---- Hidden space card

HiddenSpaceCard::HiddenSpaceCard(const SystemDataReport& report, RuleSet rules, QWidget* parent)
    : QWidget(parent), title_(hiddenCardTitle(rules)), rows_(hiddenRows(report, rules)) {}

double HiddenSpaceCard::heightFor(double width) const {
    double h = kCardPad + Fonts::cardTitle.lineHeight();
    const double textW = hiddenTextWidth(width);
    for (const HiddenRow& row : rows_) {
        const double texts = Fonts::hiddenTitle.lineHeight() + kHiddenLineGap +
                             wrappedHeight(row.text, Fonts::secondary.font(), textW);
        h += kHiddenGap + std::max(kHiddenRowLeast, texts);
    }
    return h + kCardPad + 1;
}

void HiddenSpaceCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), kCardRadius);
    const QFont& title = Fonts::cardTitle.font();
    paintLine(p, QRectF(kCardPad, kCardPad, width() - 2 * kCardPad, Fonts::lineHeight(title)),
              title_, title, Color::ink);
    double y = kCardPad + Fonts::lineHeight(title);
    const double textX = kCardPad + kHiddenGlyph + kHiddenGap;
    const double textW = hiddenTextWidth(width());
    for (const HiddenRow& row : rows_) {
        y += kHiddenGap;
        paintGlyph(p, QPointF(kCardPad, y), row.symbol, 0xBDB8AE, kHiddenGlyph);
        const QFont& t = Fonts::hiddenTitle.font();
        const double lh = Fonts::lineHeight(t);
        const double valueW = Fonts::tabularWidth(Fonts::hiddenValue.font(), row.value);
        paintLine(p, QRectF(textX, y, textW - valueW - kHiddenValueGap, lh), row.title, t,
                  Color::ink);
        p.setFont(Fonts::hiddenValue.font());
        paintDigitsRight(p, QRectF(textX, y, textW, lh), row.value, Fonts::hiddenValue.font(),
                         Color::ink);
        const double textH = wrappedHeight(row.text, Fonts::secondary.font(), textW);
        p.setFont(Fonts::secondary.font());
        p.setPen(Color::ink2);
        p.drawText(QRectF(textX, y + lh + kHiddenLineGap, textW, textH), Qt::TextWordWrap,
                   row.text);
        y += std::max(kHiddenRowLeast, lh + kHiddenLineGap + textH);
    }
}

// ---- The screen

class SystemDataPage : public QWidget {
public:
    explicit SystemDataPage(SystemDataView& view) : view_(view) {}

protected:
    void paintEvent(QPaintEvent*) override {
        if (view_.note_.isEmpty() || view_.loading()) return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = view_.noteRect_;
        p.setPen(Qt::NoPen);
        p.setBrush(Color::softFill);
        p.drawRoundedRect(r, kNoteRadius, kNoteRadius);
        paintSymbol(p,
                    QRectF(r.left() + kNotePad, r.top() + kNotePad, kNoteSymbolWidth,
                           Fonts::blurb.lineHeight()),
                    QStringLiteral("info.circle.fill"), kNoteSymbolPoints, Color::ink2);
        p.setFont(Fonts::blurb.font());
        p.setPen(Color::ink2);
        p.drawText(r.adjusted(kNotePad + kNoteTextInset, kNotePad, -kNotePad, -kNotePad),
                   Qt::TextWordWrap, view_.note_);
    }

private:
    SystemDataView& view_;
};

SystemDataView::SystemDataView(AppModel& model, QWidget* parent)
    : QScrollArea(parent), model_(model), page_(new SystemDataPage(*this)) {
    setBareContent(*this, page_, false);
    loadingState_ =
        new LoadingState(QStringLiteral("Working out what's in System Data…"), kLoadingTop, page_);

    connect(&model_.systemReport, &PropertyNotifier::changed, this, &SystemDataView::rebuild);
    connect(&model_.index, &PropertyNotifier::changed, this, &SystemDataView::rebuild);
    // The "Clean these up" keys and notes follow the plan.
    connect(&model_.cleanPlan, &PropertyNotifier::changed, this, &SystemDataView::rebuild);
    // The note names "/" as the sidebar does.
    connect(&model_.volumes, &PropertyNotifier::changed, this, &SystemDataView::rebuild);
    connect(&model_.revision, &PropertyNotifier::changed, this, [this] { page_->update(); });
    rebuild();
}

bool SystemDataView::loading() const {
    // The model's report is always of the shown generation: carried over by path to a new
    // one, it stays on screen until the new report replaces it.
    return !model_.systemReport() || !model_.index();
}

int SystemDataView::columns() const {
    return gridColumns(viewport()->width() - 2 * kScreenSide, kBucketColumnLeast, kCardGap);
}

void SystemDataView::rebuild() {
    // What the cards showed: a new report rolls their sizes from there in an animated step.
    std::optional<std::uint64_t> shownTotal;
    if (summary_) shownTotal = summary_->totalMotion().bytes();
    std::map<std::string, std::uint64_t> shownBuckets;
    for (const BucketCard* card : cards_)
        shownBuckets[card->bucket().id] = card->sizeMotion().bytes();
    const bool animate = isVisible() && model_.animation().has_value();
    delete summary_;
    summary_ = nullptr;
    for (BucketCard* card : cards_)
        delete card;
    cards_.clear();
    delete hidden_;
    hidden_ = nullptr;
    note_.clear();
    if (!loading()) {
        const RuleSet rules = AppModel::ruleSet();
        const SystemDataReport& report = *model_.systemReport();
        summary_ = new SystemSummary(rules, page_);
        summary_->setReport(report);
        if (shownTotal) summary_->rollFrom(*shownTotal, animate);
        if (const auto note = folderNote(model_.index()->rootPath(), rootVolumeName(model_.volumes()))) note_ = *note;
        // The plan belongs to the shown index, as the report does here (not loading).
        const std::string home = homeDirectory();
        for (const SpaceBucket& bucket : report.buckets) {
            auto* card = new BucketCard(
                model_, bucket, model_.index(),
                cleanKeyLook(*model_.index(), bucket, model_.cleanPlan(), home, rules), page_);
            if (const auto shown = shownBuckets.find(bucket.id); shown != shownBuckets.end())
                card->rollFrom(shown->second, animate);
            cards_.push_back(card);
        }
        hidden_ = new HiddenSpaceCard(report, rules, page_);
        if (hidden_->rows().empty()) {
            delete hidden_;
            hidden_ = nullptr;
        }
        summary_->show();
        for (BucketCard* card : cards_)
            card->show();
        if (hidden_) hidden_->show();
    }
    loadingState_->setVisible(loading());
    relayout();
}

void SystemDataView::relayout() {
    const double width = viewport()->width();
    if (loading()) {
        page_->resize(int(width), viewport()->height());
        loadingState_->setGeometry(0, 0, int(width), viewport()->height());
        return;
    }
    const double inner = width - 2 * kScreenSide;
    double y = 0;
    summary_->setGeometry(kScreenSide, int(y), int(inner),
                          int(std::ceil(SystemSummary::cardHeight())));
    y += summary_->height() + kCardGap;
    if (!note_.isEmpty()) {
        noteRect_ = QRectF(kScreenSide, y, inner, noteHeight(note_, inner));
        y += noteRect_.height() + kCardGap;
    }
    if (!cards_.empty()) {
        // Every card as tall as the others: with room for a note when one has a note.
        const bool noteRoom = std::any_of(cards_.begin(), cards_.end(), [](const BucketCard* c) {
            return !c->planNote().isEmpty();
        });
        std::vector<double> heights(cards_.size(), std::ceil(BucketCard::cardHeight(noteRoom)));
        double gridHeight = 0;
        const std::vector<QRectF> cells =
            gridCells(heights, inner, kBucketColumnLeast, kCardGap, &gridHeight);
        for (std::size_t i = 0; i < cards_.size(); ++i)
            cards_[i]->setGeometry(cells[i].translated(kScreenSide, y).toRect());
        y += gridHeight + kCardGap;
    }
    if (hidden_) {
        hidden_->setGeometry(kScreenSide, int(y), int(inner),
                             int(std::ceil(hidden_->heightFor(inner))));
        y += hidden_->height() + kCardGap;
    }
    y += kTrayRoom - kCardGap;
    page_->resize(int(width), int(std::ceil(y)));
    page_->update();
}

void SystemDataView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    relayout();
}

}  // namespace tamrel
