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
#include "ui/results/ItemMenu.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Glyph.h"
#include "ui/theme/KeyboardFocus.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Palette.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/ToolsPaint.h"

namespace tamrel {

RowGeometry rowGeometry(const QRectF& row) {
    // Padded 10 pt left and right; parts 11 pt apart; at least 8 pt between text and bar.
    const QRectF in = row.adjusted(10, 7, -10, -7);
    const double cy = in.center().y();
    RowGeometry g;
    g.icon = QRectF(in.left(), cy - 14, 28, 28);
    g.pick = QRectF(in.right() - 22, cy - 11, 22, 22);
    g.size = QRectF(g.pick.left() - 11 - 74, in.top(), 74, in.height());
    g.shareBar = QRectF(g.size.left() - 11 - 48, cy - 2, 48, 4);
    const double textLeft = g.icon.right() + 11;
    g.text = QRectF(textLeft, in.top(), std::max(0.0, g.shareBar.left() - 11 - 8 - textLeft),
                    in.height());
    return g;
}

double shareFill(double width, double fraction) {
    const double fill = fraction < 1 ? width * fraction : width;
    return std::max(fill, 4.0);
}

QSize RowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto* model = static_cast<const RowListModel*>(index.model());
    switch (model->kindAt(index.row())) {
        case RowListModel::Kind::item:
            return {option.rect.width(), rowHeight + 1};
        case RowListModel::Kind::footer:
            return {option.rect.width(), 12 + 16 + 12};
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
        painter->setFont(Fonts::system(12, Fonts::Weight::medium));
        painter->setPen(Color::ink3);
        painter->drawText(QRectF(option.rect), Qt::AlignCenter, model->footer());
    } else if (kind == RowListModel::Kind::item) {
        const RowItem& item = model->item(index.row());
        const QRectF row = QRectF(option.rect).adjusted(0, 0, 0, -1);  // 1 pt between rows
        const bool hover = option.state & QStyle::State_MouseOver;
        if (hover) {
            QColor wash = Color::ink;
            wash.setAlphaF(0.045);
            painter->setPen(Qt::NoPen);
            painter->setBrush(wash);
            painter->drawRoundedRect(row, 11, 11);
        }
        const RowGeometry g = rowGeometry(row);

        if (item.denied) {
            paintGlyph(*painter, g.icon.topLeft(), QStringLiteral("lock.fill"), 0xBDB8AE, 28);
        } else {
            AppIcon::paint(*painter, g.icon.topLeft(), 28,
                           item.appPath ? *item.appPath : item.path);
        }

        const QFont nameFont = Fonts::system(13, Fonts::Weight::semibold);
        const QFont subFont = Fonts::system(11.5, Fonts::Weight::medium);
        const QFontMetricsF nameMetrics(nameFont), subMetrics(subFont);
        const double blockH = nameMetrics.height() + 2 + subMetrics.height();
        const double top = g.text.center().y() - blockH / 2;
        painter->setFont(nameFont);
        painter->setPen(Color::ink);
        painter->drawText(QRectF(g.text.left(), top, g.text.width(), nameMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          nameMetrics.elidedText(item.name, Qt::ElideMiddle, g.text.width()));
        painter->setFont(subFont);
        painter->setPen(Color::ink2);
        painter->drawText(QRectF(g.text.left(), top + nameMetrics.height() + 2, g.text.width(),
                                 subMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          subMetrics.elidedText(item.subtitle, Qt::ElideLeft, g.text.width()));

        // Share bar: a faint track and the share of the list's largest entry.
        QColor track = Color::ink, fill = Color::ink;
        track.setAlphaF(0.07);
        fill.setAlphaF(0.45);
        painter->setPen(Qt::NoPen);
        painter->setBrush(track);
        painter->drawRoundedRect(g.shareBar, 2, 2);
        painter->setBrush(fill);
        painter->drawRoundedRect(
            QRectF(g.shareBar.topLeft(), QSizeF(shareFill(g.shareBar.width(), item.fraction), 4)),
            2, 2);

        {
            const QFontMetricsF fm(Fonts::system(13, Fonts::Weight::bold));
            const double w = sizeTextWidth(item.size, 13);
            const double baseline = g.size.center().y() + (fm.ascent() - fm.descent()) / 2;
            const QPointF origin(g.size.right() - w, baseline);
            const auto* list = static_cast<const ItemListView*>(parent());
            if (const SizeTextMotion* roll = list->sizeRoll(item.id))
                paintSizeText(*painter, origin, *roll, 13, Color::ink, Color::ink3);
            else
                paintSizeText(*painter, origin, item.size, 13, Color::ink, Color::ink3);
        }

        // The pick key: always shown when picked, otherwise only while the row is hovered. `p`
        // goes from the plain key (0) to the picked one (1) on the pick spring.
        const auto* view = static_cast<const ItemListView*>(parent());
        const double p = std::clamp(view->pickAmount(item.id), 0.0, 1.0);
        const double shown = hover ? 1.0 : p;
        if (shown > 0) {
            QColor plain = Color::ink;
            plain.setAlphaF(hover ? 0.09 : 0.05);
            const QColor& picked = Color::tangerine;
            const QColor disc = QColor::fromRgbF(
                float(plain.redF() + (picked.redF() - plain.redF()) * p),
                float(plain.greenF() + (picked.greenF() - plain.greenF()) * p),
                float(plain.blueF() + (picked.blueF() - plain.blueF()) * p),
                float(plain.alphaF() + (picked.alphaF() - plain.alphaF()) * p));
            painter->setOpacity(shown);
            painter->setBrush(disc);
            painter->drawEllipse(g.pick);
            if (p < 1) {
                painter->setOpacity(shown * (1 - p));
                paintSymbol(*painter, g.pick, QStringLiteral("plus"), 10, Color::ink2);
            }
            if (p > 0) {
                painter->setOpacity(shown * p);
                paintSymbol(*painter, g.pick, QStringLiteral("checkmark"), 10, Qt::white);
            }
            painter->setOpacity(1);
        }
        const auto* list = static_cast<const ItemListView*>(parent());
        if (list->hasFocus() && list->focusRow() == index.row())
            paintFocusRing(*painter, roundedShape(row, 11));
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

void ItemListView::setRows(std::vector<RowItem> rows, qint64 total) {
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
        spring->animateTo(row.picked ? 1 : 0, Spring{0.35, 0.7});
    }
    index_ = model_.index();
    if (rows_.setRows(std::move(rows), total)) {
        lastClick_.reset();
        scrollToTop();
        focusRow_ = 0;
    }
    // The keyboard's place stays on its row, or on the last one when the list got shorter.
    const int count = int(rows_.rows().size());
    focusRow_ = count == 0 ? -1 : std::clamp(focusRow_, 0, count - 1);
    viewport()->update();
}

void ItemListView::setFocusRow(int row) {
    if (rows_.rows().empty()) row = -1;
    if (row == focusRow_) return;
    focusRow_ = row;
    if (row >= 0) scrollTo(rows_.index(row));
    viewport()->update();
}

void ItemListView::keyPressEvent(QKeyEvent* event) {
    const int count = int(rows_.rows().size());
    const int page = std::max(1, viewport()->height() / (rowHeight + 1));
    if (const auto to = steppedEntry(*event, focusRow_, count, Qt::Vertical, page)) {
        setFocusRow(*to);
        return;
    }
    const bool acts = focusRow_ >= 0 && focusRow_ < count && rowsCurrent();
    if (opensEntry(*event)) {
        if (!acts) return;
        const RowItem& item = rows_.item(focusRow_);
        if (item.isDir) {
            model_.open(item.id);
        } else {
            openNode(model_, item.id);
        }
        return;
    }
    if (event->key() == Qt::Key_Space && !(event->modifiers() & ~Qt::KeypadModifier)) {
        if (acts) model_.toggleBasket(rows_.item(focusRow_).id);
        return;
    }
    if (opensMenu(*event)) {
        if (!acts) return;
        const QRect r = rowRect(focusRow_);
        makeItemMenu(model_, rows_.item(focusRow_).id, true, this)
            ->popup(viewport()->mapToGlobal(QPoint(r.left() + 44, r.bottom())));
        return;
    }
    // Tab and the rest go on to the window (QAbstractItemView would take the arrows).
    QWidget::keyPressEvent(event);
}

void ItemListView::focusInEvent(QFocusEvent* event) {
    QListView::focusInEvent(event);
    if (focusRow_ < 0 && !rows_.rows().empty()) focusRow_ = 0;
    if (focusRow_ >= 0) scrollTo(rows_.index(focusRow_));
    viewport()->update();
}

void ItemListView::focusOutEvent(QFocusEvent* event) {
    QListView::focusOutEvent(event);
    viewport()->update();
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
    paintEmptyState(painter, emptyStateRect(), QStringLiteral("tray"), 26,
                    QStringLiteral("Nothing in here"), 14, 8);
}

QRectF ItemListView::emptyStateRect() const {
    const bool footer = rows_.rowCount() > 0 && rows_.kindAt(0) == RowListModel::Kind::footer;
    const double top = footer ? rowRect(0).bottom() + 1 : 0;
    return QRectF(0, top, viewport()->width(), 50 + 26 + 8 + 18 + 50);
}

void ItemListView::mousePressEvent(QMouseEvent* event) {
    const int row = event->button() == Qt::LeftButton ? itemAt(event->position().toPoint()) : -1;
    pressed_.reset();
    if (row >= 0) pressed_ = rows_.item(row).id;
}

void ItemListView::mouseReleaseEvent(QMouseEvent* event) {
    const int row = itemAt(event->position().toPoint());
    const std::optional<NodeId> pressed = pressed_;
    pressed_.reset();
    if (event->button() != Qt::LeftButton || row < 0 || !rowsCurrent()) return;
    // The same item under the press and the release, also when the rows changed in between.
    const RowItem& item = rows_.item(row);
    if (pressed != item.id) return;
    lastClick_ = item.id;
    const RowGeometry g = rowGeometry(QRectF(visualRect(rows_.index(row))).adjusted(0, 0, 0, -1));
    if (g.pick.contains(event->position())) {
        model_.toggleBasket(item.id);
    } else if (item.isDir) {
        model_.open(item.id);
    }
}

void ItemListView::mouseDoubleClickEvent(QMouseEvent* event) {
    const int row = itemAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || row < 0 || !rowsCurrent()) return;
    const RowItem& item = rows_.item(row);
    if (lastClick_ != item.id) return;
    const RowGeometry g = rowGeometry(QRectF(visualRect(rows_.index(row))).adjusted(0, 0, 0, -1));
    if (g.pick.contains(event->position())) {
        model_.toggleBasket(item.id);  // a quick second click on the key is a second press
    } else if (!item.isDir) {
        openNode(model_, item.id);
    }
}

void ItemListView::contextMenuEvent(QContextMenuEvent* event) {
    const int row = itemAt(event->pos());
    if (row < 0 || !rowsCurrent()) return;
    makeItemMenu(model_, rows_.item(row).id, true, this)->popup(event->globalPos());
}

bool ItemListView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        // The pick key says what a click on it does.
        auto* help = static_cast<QHelpEvent*>(event);
        const int row = itemAt(help->pos());
        if (row >= 0) {
            const RowGeometry g =
                rowGeometry(QRectF(visualRect(rows_.index(row))).adjusted(0, 0, 0, -1));
            if (g.pick.contains(help->pos())) {
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

void ItemListView::leaveEvent(QEvent* event) {
    QListView::leaveEvent(event);
    viewport()->update();
}

ItemList::ItemList(AppModel& model, QWidget* parent)
    : QWidget(parent), view_(new ItemListView(model, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 0);
    layout->addWidget(view_);
}

void ItemList::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintPanelFast(painter, QRectF(rect()), 18);
}

}  // namespace tamrel
