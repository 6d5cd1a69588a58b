#include "ui/results/ItemList.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>

#include "ui/results/AppIcon.h"
#include "ui/results/ItemListMetrics.h"
#include "ui/results/ItemMenu.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Glyph.h"
#include "ui/theme/KeyboardFocus.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/Palette.h"
#include "ui/theme/Panel.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/ToolsPaint.h"

namespace tamrel {
namespace {

// A row's pick key turns to its new look on this spring.
constexpr Spring kPickSpring{0.35, 0.7};

}  // namespace

RowGeometry rowGeometry(const QRectF& row) {
    const QRectF in = row.adjusted(kFileRowPadH, kFileRowPadV, -kFileRowPadH, -kFileRowPadV);
    const double cy = in.center().y();
    RowGeometry g;
    g.icon = QRectF(in.left(), cy - kFileIcon / 2, kFileIcon, kFileIcon);
    g.pick = QRectF(in.right() - kPickKey, cy - kPickKey / 2, kPickKey, kPickKey);
    g.size =
        QRectF(g.pick.left() - kFileRowGap - kFileSizeWidth, in.top(), kFileSizeWidth, in.height());
    g.shareBar = QRectF(g.size.left() - kFileRowGap - kShareBarWidth, cy - kShareBarHeight / 2,
                        kShareBarWidth, kShareBarHeight);
    const double textLeft = g.icon.right() + kFileRowGap;
    g.text = QRectF(textLeft, in.top(),
                    std::max(0.0, g.shareBar.left() - kFileRowGap - kFileTextRoom - textLeft),
                    in.height());
    return g;
}

double shareFill(double width, double fraction) {
    const double fill = fraction < 1 ? width * fraction : width;
    return std::max(fill, kShareBarLeast);
}

QSize RowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto* model = static_cast<const RowListModel*>(index.model());
    switch (model->kindAt(index.row())) {
        case RowListModel::Kind::item:
            return {option.rect.width(), rowHeight + 1};
        case RowListModel::Kind::footer:
            return {option.rect.width(), kListFooterPad + kListFooterLine + kListFooterPad};
        case RowListModel::Kind::pad:
            return {option.rect.width(), listFootRoom};
    }
    return {};
}

void RowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
    const auto* model = static_cast<const RowListModel*>(index.model());
    const RowListModel::Kind kind = model->kindAt(index.row());
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (kind == RowListModel::Kind::footer) {
        painter->setFont(Fonts::secondary.font());
        painter->setPen(Color::ink3);
        painter->drawText(QRectF(option.rect), Qt::AlignCenter, model->footer());
    } else if (kind == RowListModel::Kind::item) {
        const RowItem& item = model->item(index.row());
        const QRectF row = QRectF(option.rect).adjusted(0, 0, 0, -1);  // 1 pt between rows
        const auto* list = static_cast<const ItemListView*>(parent());
        const bool hover = list->rowList().hoverRow() == index.row();
        if (hover) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(Color::rowHover);
            painter->drawRoundedRect(row, kRowRadius, kRowRadius);
        }
        const RowGeometry g = rowGeometry(row);

        if (item.denied) {
            paintGlyph(*painter, g.icon.topLeft(), QStringLiteral("lock.fill"), 0xBDB8AE,
                       kFileIcon);
        } else {
            AppIcon::paint(*painter, g.icon.topLeft(), kFileIcon,
                           item.appPath ? *item.appPath : item.path);
        }

        const QFont& nameFont = Fonts::rowTitle.font();
        const QFont& subFont = Fonts::rowDetail.font();
        const QFontMetricsF nameMetrics(nameFont), subMetrics(subFont);
        const double blockH = nameMetrics.height() + kFileLineGap + subMetrics.height();
        const double top = g.text.center().y() - blockH / 2;
        painter->setFont(nameFont);
        painter->setPen(Color::ink);
        painter->drawText(QRectF(g.text.left(), top, g.text.width(), nameMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          nameMetrics.elidedText(item.name, Qt::ElideMiddle, g.text.width()));
        painter->setFont(subFont);
        painter->setPen(Color::ink2);
        painter->drawText(QRectF(g.text.left(), top + nameMetrics.height() + kFileLineGap,
                                 g.text.width(), subMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          subMetrics.elidedText(item.subtitle, Qt::ElideLeft, g.text.width()));

        // Share bar: a faint track and the share of the list's largest entry.
        const double barRadius = kShareBarHeight / 2;
        painter->setPen(Qt::NoPen);
        painter->setBrush(Color::withOpacity(Color::ink, kShareTrack));
        painter->drawRoundedRect(g.shareBar, barRadius, barRadius);
        painter->setBrush(Color::withOpacity(Color::ink, kShareFill));
        painter->drawRoundedRect(
            QRectF(g.shareBar.topLeft(),
                   QSizeF(shareFill(g.shareBar.width(), item.fraction), kShareBarHeight)),
            barRadius, barRadius);

        {
            const QFontMetricsF fm(sizeTextFont(kFileSizeText));
            const double w = sizeTextWidth(item.size, kFileSizeText);
            const double baseline = g.size.center().y() + (fm.ascent() - fm.descent()) / 2;
            const QPointF origin(g.size.right() - w, baseline);
            if (const SizeTextMotion* roll = list->sizeRoll(item.id))
                paintSizeText(*painter, origin, *roll, kFileSizeText, Color::ink, Color::ink3);
            else
                paintSizeText(*painter, origin, item.size, kFileSizeText, Color::ink, Color::ink3);
        }

        // The pick key: always shown when picked, otherwise only while the row is hovered, and
        // never on an item the Trash would refuse. `p` goes from the plain key (0) to the
        // picked one (1) on the pick spring.
        const double p = std::clamp(list->pickAmount(item.id), 0.0, 1.0);
        const double shown = hover && item.pickable ? 1.0 : p;
        if (shown > 0) {
            QColor plain = Color::ink;
            plain.setAlphaF(hover ? kPickHover : kPickRest);
            const QColor& picked = Color::tangerine;
            const QColor disc =
                QColor::fromRgbF(float(plain.redF() + (picked.redF() - plain.redF()) * p),
                                 float(plain.greenF() + (picked.greenF() - plain.greenF()) * p),
                                 float(plain.blueF() + (picked.blueF() - plain.blueF()) * p),
                                 float(plain.alphaF() + (picked.alphaF() - plain.alphaF()) * p));
            painter->setOpacity(shown);
            painter->setBrush(disc);
            painter->drawEllipse(g.pick);
            if (p < 1) {
                painter->setOpacity(shown * (1 - p));
                paintSymbol(*painter, g.pick, QStringLiteral("plus"), kPickPoints, Color::ink2);
            }
            if (p > 0) {
                painter->setOpacity(shown * p);
                paintSymbol(*painter, g.pick, QStringLiteral("checkmark"), kPickPoints, Qt::white);
            }
            painter->setOpacity(1);
        }
        if (list->rowList().showsRing(index.row()))
            paintFocusRing(*painter, roundedShape(row, kRowRadius));
    }
    painter->restore();
}

ItemListView::ItemListView(AppModel& model, QWidget* parent)
    : QListView(parent), model_(model), delegate_(this) {
    setModel(&rows_);
    setItemDelegate(&delegate_);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::TabFocus);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setUniformItemSizes(false);
    setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    const auto picks = [this](int row, QPointF pos) {
        const RowItem& item = rows_.item(row);
        return item.pickable &&
               rowGeometry(QRectF(rowRect(row)).adjusted(0, 0, 0, -1)).pick.contains(pos);
    };
    rowList_.reset(
        new RowList(this, viewport(),
                    {.count = [this] { return int(rows_.rows().size()); },
                     .rect = [this](int row) { return QRectF(rowRect(row)); },
                     .key = [this](int row) { return rows_.item(row).path; },
                     .activate =
                         [this](int row) {
                             if (!rowsCurrent()) return;
                             const RowItem& item = rows_.item(row);
                             if (item.isDir) {
                                 model_.open(item.id);
                             } else {
                                 openNode(model_, item.id);
                             }
                         },
                     .toggle =
                         [this](int row) {
                             if (rowsCurrent()) model_.toggleBasket(rows_.item(row).id);
                         },
                     .click =
                         [this, picks](int row, QPointF pos) {
                             if (!rowsCurrent()) return;
                             const RowItem& item = rows_.item(row);
                             if (picks(row, pos)) {
                                 model_.toggleBasket(item.id);
                             } else if (item.isDir) {
                                 model_.open(item.id);
                             }
                         },
                     .doubleClick =
                         [this, picks](int row, QPointF pos) {
                             if (!rowsCurrent()) return;
                             const RowItem& item = rows_.item(row);
                             // A quick second click on the key is a second press.
                             if (picks(row, pos)) {
                                 model_.toggleBasket(item.id);
                             } else if (!item.isDir) {
                                 openNode(model_, item.id);
                             }
                         },
                     .menu =
                         [this](int row, QPoint global) {
                             if (!rowsCurrent()) return;
                             makeItemMenu(model_, rows_.item(row).id, true, this)->popup(global);
                         },
                     .menuAnchor =
                         [this](int row) {
                             const QRect r = rowRect(row);
                             return QPoint(r.left() + kFileMenuInset, r.bottom());
                         }}));
}

double ItemListView::pickAmount(NodeId node) const {
    if (auto it = picking_.find(node); it != picking_.end()) return it->second->value();
    for (const RowItem& row : rows_.rows()) {
        if (row.id == node) return row.picked ? 1 : 0;
    }
    return 0;
}

const SizeTextMotion* ItemListView::sizeRoll(NodeId node) const {
    const auto it = rolling_.find(node);
    return it == rolling_.end() ? nullptr : it->second.get();
}

void ItemListView::rollSizes(const std::vector<RowItem>& rows, bool sameGeneration) {
    if (!sameGeneration) {
        rolling_.clear();
        return;
    }
    std::unordered_map<NodeId, std::uint64_t> was;
    for (const RowItem& row : rows_.rows())
        was[row.id] = row.size;
    const bool animate = isVisible() && model_.animation().has_value();
    for (const RowItem& row : rows) {
        const auto it = was.find(row.id);
        if (it == was.end() || it->second == row.size) continue;
        if (!animate) {
            rolling_.erase(row.id);  // the new size shows at once
            continue;
        }
        auto& motion = rolling_[row.id];
        if (!motion) {
            motion = std::make_unique<SizeTextMotion>(it->second);
            connect(motion.get(), &SizeTextMotion::changed, viewport(),
                    qOverload<>(&QWidget::update));
            const NodeId id = row.id;
            connect(&motion->spring(), &SpringAnimator::settled, this, [this, id] {
                // Sent by the motion's own spring: the motion is let go once the signal is done.
                if (auto at = rolling_.find(id); at != rolling_.end()) {
                    at->second.release()->deleteLater();
                    rolling_.erase(at);
                }
            });
        }
        motion->setBytes(row.size, true);
    }
}

void ItemListView::setRows(std::vector<RowItem> rows, qint64 total, const QString& list) {
    // A row of the same generation whose picked state changed moves its key on the pick spring.
    const bool sameGeneration = index_ && model_.index() == index_;
    rollSizes(rows, sameGeneration);
    std::unordered_map<NodeId, bool> was;
    if (sameGeneration) {
        for (const RowItem& row : rows_.rows())
            was[row.id] = row.picked;
    } else {
        picking_.clear();
    }
    for (const RowItem& row : rows) {
        const auto it = was.find(row.id);
        if (it == was.end() || it->second == row.picked) continue;
        auto& spring = picking_[row.id];
        if (!spring) {
            spring = std::make_unique<SpringAnimator>(it->second ? 1.0 : 0.0);
            connect(spring.get(), &SpringAnimator::valueChanged, viewport(),
                    qOverload<>(&QWidget::update));
            const NodeId id = row.id;
            connect(spring.get(), &SpringAnimator::settled, this, [this, id] {
                // Settled is sent by the spring itself: it is let go once the signal is done.
                if (auto at = picking_.find(id); at != picking_.end()) {
                    at->second.release()->deleteLater();
                    picking_.erase(at);
                }
            });
        }
        spring->animateTo(row.picked ? 1 : 0, kPickSpring);
    }
    index_ = model_.index();
    // Another list starts at its top; the same one keeps its place and where it is scrolled to.
    const bool another = list != list_;
    list_ = list;
    if (rows_.setRows(std::move(rows), total, another)) {
        scrollToTop();
        rowList_->reset();
    }
    rowList_->rowsChanged();
    viewport()->update();
}

void ItemListView::keyPressEvent(QKeyEvent* event) {
    // The list's keys are its behaviour's; Tab and the rest go on to the window (an item view
    // would take them).
    QWidget::keyPressEvent(event);
}

int ItemListView::itemAt(QPoint p) const {
    const QModelIndex at = indexAt(p);
    if (!at.isValid() || rows_.kindAt(at.row()) != RowListModel::Kind::item) return -1;
    return at.row();
}

void ItemListView::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    if (!rows_.rows().empty()) return;
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    paintEmptyState(painter, emptyStateRect(), QStringLiteral("tray"), kEmptySymbol,
                    QStringLiteral("Nothing in here"), kEmptyText, kEmptySpacing);
}

QRectF ItemListView::emptyStateRect() const {
    const bool footer = rows_.rowCount() > 0 && rows_.kindAt(0) == RowListModel::Kind::footer;
    const double top = footer ? rowRect(0).bottom() + 1 : 0;
    return QRectF(0, top, viewport()->width(),
                  kEmptyMargin + kEmptySymbol + kEmptySpacing + kEmptyTextLine + kEmptyMargin);
}

bool ItemListView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        // The pick key says what a click on it does.
        auto* help = static_cast<QHelpEvent*>(event);
        const int row = itemAt(help->pos());
        if (row >= 0) {
            const RowGeometry g =
                rowGeometry(QRectF(visualRect(rows_.index(row))).adjusted(0, 0, 0, -1));
            if (rows_.item(row).pickable && g.pick.contains(help->pos())) {
                QToolTip::showText(help->globalPos(),
                                   rows_.item(row).picked ? QStringLiteral("Take it back out")
                                                          : QStringLiteral("Pick for the Trash"),
                                   viewport());
                return true;
            }
        }
        QToolTip::hideText();
        return true;
    }
    return QListView::viewportEvent(event);
}

ItemList::ItemList(AppModel& model, QWidget* parent)
    : QWidget(parent), view_(new ItemListView(model, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kListInset, kListInset, kListInset, 0);
    layout->addWidget(view_);
}

void ItemList::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintPanelFast(painter, QRectF(rect()), kCardRadius);
}

}  // namespace tamrel
