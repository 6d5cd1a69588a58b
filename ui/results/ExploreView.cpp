#include "ui/results/ExploreView.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "format/Fmt.h"
#include "ui/results/ExploreMetrics.h"
#include "ui/results/ItemList.h"
#include "ui/results/ResultsPaint.h"
#include "ui/results/ResultsText.h"
#include "ui/results/RowItems.h"
#include "ui/results/TreemapView.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/Palette.h"
#include "ui/theme/Panel.h"
#include "ui/theme/SizeText.h"

namespace tamrel {
namespace {

double segmentTarget(const std::optional<FileKind>& hovered, FileKind kind) {
    return !hovered || *hovered == kind ? 1.0 : kKindFaded;
}

}  // namespace

KindBar::KindBar(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    connect(&fade_, &EasedValue::valueChanged, this, qOverload<>(&QWidget::update));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void KindBar::setParts(KindBytes parts) {
    parts_ = std::move(parts);
    updateGeometry();
    update();
}

double KindBar::legendRowHeight() const {
    return std::max(QFontMetricsF(Fonts::label.font()).height(), kLegendDot);
}

int KindBar::heightForWidth(int width) const {
    const int count = kindBarLayout(parts_, width).legendCount;
    if (count == 0) return int(kKindBarHeight);
    const int rows = (count + kLegendColumns - 1) / kLegendColumns;
    return int(std::ceil(kKindBarHeight + kLegendTop + rows * legendRowHeight() +
                         (rows - 1) * kLegendSpacingY));
}

QSize KindBar::sizeHint() const {
    return {kKindBarWidth, heightForWidth(kKindBarWidth)};
}

QRectF KindBar::legendRect(int k, double width) const {
    const double colW = (width - (kLegendColumns - 1) * kLegendSpacingX) / kLegendColumns;
    const int row = k / kLegendColumns, col = k % kLegendColumns;
    return QRectF(col * (colW + kLegendSpacingX),
                  kKindBarHeight + kLegendTop + row * (legendRowHeight() + kLegendSpacingY), colW,
                  legendRowHeight());
}

void KindBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const KindBarLayout bar = kindBarLayout(parts_, width());

    // The row of segments, its two ends rounded as one capsule.
    if (!bar.segments.empty()) {
        QPainterPath capsule;
        capsule.addRoundedRect(QRectF(0, 0, bar.rowWidth, kKindBarHeight), kKindBarHeight / 2,
                               kKindBarHeight / 2);
        painter.save();
        painter.setClipPath(capsule);
        painter.setPen(Qt::NoPen);
        for (const KindSegment& s : bar.segments) {
            painter.setOpacity(segmentOpacity(s.kind));
            painter.setBrush(Palette::color(kindHex(s.kind)));
            painter.drawRect(QRectF(s.x, 0, s.width, kKindBarHeight));
        }
        painter.restore();
    }

    const QFont& labelFont = Fonts::secondary.font();
    const QFont& bytesFont = Fonts::label.font();
    for (int k = 0; k < bar.legendCount; ++k) {
        const KindSegment& s = bar.segments[std::size_t(k)];
        const QRectF cell = legendRect(k, width());
        painter.setOpacity(!hovered_ || *hovered_ == s.kind ? 1.0 : kLegendFaded);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Palette::color(kindHex(s.kind)));
        painter.drawEllipse(
            QRectF(cell.left(), cell.center().y() - kLegendDot / 2, kLegendDot, kLegendDot));
        // The bytes with digits of one width, right-aligned in the cell.
        const QString bytes = Fmt::bytes(s.bytes);
        const QFontMetricsF bm(bytesFont);
        const double bytesW = Fonts::tabularWidth(bytesFont, bytes);
        painter.setPen(Color::ink);
        Fonts::drawTabular(
            painter,
            QPointF(cell.right() - bytesW, cell.center().y() + (bm.ascent() - bm.descent()) / 2),
            bytesFont, bytes);
        painter.setFont(labelFont);
        painter.setPen(Color::ink2);
        const QRectF label(
            cell.left() + kLegendLabelInset, cell.top(),
            std::max(0.0, cell.width() - kLegendLabelInset - kLegendBytesGap - bytesW),
            cell.height());
        painter.drawText(
            label, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetricsF(labelFont).elidedText(
                QString::fromUtf8(s.kind.label().data(), qsizetype(s.kind.label().size())),
                Qt::ElideRight, label.width()));
    }
}

void KindBar::mouseMoveEvent(QMouseEvent* event) {
    const KindBarLayout bar = kindBarLayout(parts_, width());
    const QPointF p = event->position();
    std::optional<FileKind> over;
    for (const KindSegment& s : bar.segments) {
        if (QRectF(s.x, 0, s.width, kKindBarHeight).contains(p)) over = s.kind;
    }
    for (int k = 0; k < bar.legendCount; ++k) {
        if (legendRect(k, width()).contains(p)) over = bar.segments[std::size_t(k)].kind;
    }
    setHovered(over);
}

void KindBar::leaveEvent(QEvent*) {
    setHovered(std::nullopt);
}

double KindBar::segmentOpacity(FileKind kind) const {
    const double to = segmentTarget(hovered_, kind);
    double from = to;
    for (const auto& [k, opacity] : fadeFrom_) {
        if (k == kind) from = opacity;
    }
    return from + (to - from) * fade_.value();
}

void KindBar::setHovered(std::optional<FileKind> kind) {
    if (kind == hovered_) return;
    // The bar eases from where it is now; the legend follows at once.
    std::vector<std::pair<FileKind, double>> from;
    for (const auto& [k, bytes] : parts_)
        from.emplace_back(k, segmentOpacity(k));
    fadeFrom_ = std::move(from);
    hovered_ = kind;
    fade_.setValue(0);
    fade_.animateTo(1, kFadeMs);
    update();
}

FolderSummary::FolderSummary(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), bar_(new KindBar(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kSummaryPad, kSummaryPad + kSummaryTotalLine + kSummaryBarGap,
                               kSummaryPad, kSummaryPad);
    layout->addWidget(bar_);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(&model_.breakdown, &PropertyNotifier::changed, this,
            [this] { bar_->setParts(model_.breakdown()); });
    bar_->setParts(model_.breakdown());
    connect(&size_, &SizeTextMotion::changed, this, qOverload<>(&QWidget::update));
}

void FolderSummary::setFolder(IndexRef index, NodeId node) {
    index_ = std::move(index);
    node_ = node;
    const std::uint64_t bytes = index_ && node_ < index_->count() ? index_->size(node_) : 0;
    size_.setBytes(bytes, isVisible() && model_.animation().has_value());
    bar_->setParts(model_.breakdown());
    update();
}

void FolderSummary::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintPanelFast(painter, QRectF(rect()), kCardRadius);
    if (!index_ || node_ >= index_->count()) return;

    const QRectF top(kSummaryPad, kSummaryPad, width() - 2 * kSummaryPad, kSummaryTotalLine);
    const double descent = QFontMetricsF(sizeTextFont(kFolderSize)).descent();
    paintSizeText(painter, QPointF(top.left(), top.bottom() - descent), size_, kFolderSize,
                  Color::ink, Color::ink3, kFolderTracking);

    const QFont& filesFont = Fonts::label.font();
    painter.setFont(filesFont);
    painter.setPen(Color::ink2);
    const double lineH = QFontMetricsF(filesFont).height();
    const bool root = node_ == 0;
    const double block = root ? lineH * 2 + kSummaryLineGap : lineH;
    const QRectF right(top.left(), top.bottom() - block - kSummaryLineRise, top.width(), lineH);
    painter.drawText(right, Qt::AlignRight | Qt::AlignVCenter, Fmt::files(index_->items(node_)));
    if (root) {
        painter.setFont(Fonts::secondary.font());
        painter.setPen(Color::ink3);
        painter.drawText(right.translated(0, lineH + kSummaryLineGap),
                         Qt::AlignRight | Qt::AlignVCenter, scanTimeText(index_->scanTime()));
    }
}

ExploreView::ExploreView(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      summary_(new FolderSummary(model, this)),
      list_(new ItemList(model, this)),
      treemap_(new TreemapView(model, this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kScreenSide, 0, kScreenSide, kScreenSide);
    row->setSpacing(kExploreColumnGap);
    auto* column = new QVBoxLayout;
    column->setSpacing(kExploreSummaryGap);
    column->addWidget(summary_);
    column->addWidget(list_, 1);
    left_ = new QWidget(this);
    left_->setLayout(column);
    column->setContentsMargins(0, 0, 0, 0);
    left_->setFixedWidth(kExploreColumnWidth);
    row->addWidget(left_);
    row->addWidget(treemap_, 1);

    for (const PropertyNotifier* property : Notifiers{&model_.index, &model_.current,
                        &model_.revision, &model_.basket}) {
        connect(property, &PropertyNotifier::changed, this, &ExploreView::refresh);
    }
    refresh();
}

void ExploreView::refresh() {
    const IndexRef index = model_.index();
    // Nothing at all without an index.
    left_->setVisible(bool(index));
    treemap_->setVisible(bool(index));
    if (!index) {
        kidsIndex_.reset();
        kids_.clear();
        list_->setRows({}, 0, {});
        treemap_->setFolder(nullptr, 0, {});
        summary_->setFolder(nullptr, 0);
        return;
    }
    const NodeId node = model_.current();
    // The list shows the first 400 children and the treemap the first 90 with a size, the
    // rest only counted and summed: only the head needs sorting.
    constexpr std::size_t listed = 400;
    static_assert(listed >= treemapTileCap);
    if (index != kidsIndex_ || node != kidsNode_ || model_.revision() != kidsRevision_) {
        kids_ = model_.children(node, listed);
        kidsIndex_ = index;
        kidsNode_ = node;
        kidsRevision_ = model_.revision();
    }
    const std::size_t shown = std::min(kids_.size(), listed);
    const std::uint64_t maxSize = kids_.empty() ? 1 : index->size(kids_.front());
    list_->setRows(rowItems(model_, std::span(kids_.data(), shown), maxSize, std::nullopt),
                   qint64(kids_.size()), QString::fromStdString(index->path(node)));
    summary_->setFolder(index, node);
    treemap_->setFolder(index, node, kids_);
}

}  // namespace tamrel
