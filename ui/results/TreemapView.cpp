#include "ui/results/TreemapView.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>
#include <cmath>

#include "ui/results/ItemMenu.h"
#include "ui/results/ResultsPaint.h"
#include "ui/results/TreemapMetrics.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/KeyboardFocus.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Palette.h"

namespace tamrel {
namespace {

// The motions of the tiles: a new folder fading in, the tiles gliding to new places after a
// change, a pick, the lift under the pointer and a press.
constexpr Spring kAppearSpring{0.42, 0.82};
constexpr Spring kGlideSpring{0.45, 0.8};
constexpr Spring kPickSpring{0.25, 0.6};
constexpr Spring kLiftSpring{0.2, 0.65};
constexpr Spring kTilePressSpring{0.14, 0.6};

// How far a tile's face sits below its rest: down by depth − 1 pressed (pressed wins), up by
// the lift while lifted, in between while moving.
double faceOffset(const TileLook& look, double lift, double press) {
    return press * (look.depth - 1) + (1 - std::clamp(press, 0.0, 1.0)) * (-kTileLift * lift);
}

}  // namespace

TreemapView::TreemapView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setMouseTracking(true);
    setMinimumSize(kTreemapLeast, kTreemapLeast);
    setFocusPolicy(Qt::TabFocus);
    connect(&appear_, &SpringAnimator::valueChanged, this, [this] { update(); });
    connect(&appear_, &SpringAnimator::settled, this, [this] {
        leaving_ = QPixmap();
        update();
    });
    connect(&move_, &SpringAnimator::valueChanged, this, [this] { update(); });
    connect(&move_, &SpringAnimator::settled, this, [this] {
        from_.clear();
        update();
    });
    // The basket decides which tiles are picked; a new revision moves sizes.
    connect(&model_.basket, &PropertyNotifier::changed, this, [this] { relayout(true); });
}

QRectF TreemapView::tileArea() const {
    return QRectF(rect()).adjusted(kWellInset, kWellInset, -kWellInset, -kWellInset);
}

void TreemapView::setFolder(IndexRef index, NodeId node, NodeIds kids) {
    // The tile set's identity is the folder, by path: another folder starts afresh and fades in,
    // while the same folder after a change (a move to the Trash, a refresh, a new generation of
    // the index) keeps its state.
    const bool sameGeneration = index && index == index_;
    const auto pathIn = [](const IndexRef& in, NodeId id) {
        return in && id < in->count() ? std::optional(in->path(id)) : std::nullopt;
    };
    const bool newFolder =
        !index_ || !index ||
        (sameGeneration ? node != node_ : pathIn(index_, node_) != pathIn(index, node));
    if (!newFolder && !sameGeneration) {
        // The same folder in another generation: its ids are new. The keyboard's place stays on
        // its tile, found by path; what the pointer did starts again.
        std::optional<std::int64_t> focus;
        if (focusId_ && *focusId_ >= 0) {
            if (const auto path = pathIn(index_, NodeId(*focusId_)))
                if (const auto found = index->lookup(*path)) focus = std::int64_t(*found);
        }
        focusId_ = focus;
        hoverId_.reset();
        pressedId_.reset();
        motion_.clear();
    }
    const bool glide =
        !newFolder && sameGeneration && model_.revision() != revision_ && !tiles_.empty();
    revision_ = model_.revision();
    index_ = std::move(index);
    node_ = node;
    kids_ = std::move(kids);
    if (newFolder) {
        // The old tiles as they were at rest fade out while the new ones come in.
        leaving_ = QPixmap();
        if (!tiles_.empty() && isVisible() && !SpringAnimator::instant()) {
            ensurePictures();
            leaving_ = layer_;
        }
        hoverId_.reset();
        pressedId_.reset();
        focusId_.reset();
        motion_.clear();
        from_.clear();
        // Fades in with the spring of opening a folder.
        appear_.setValue(0);
        appear_.animateTo(1, kAppearSpring);
    }
    if (glide) {
        from_.clear();
        for (const TreemapTile& tile : tiles_)
            from_[tile.id] = tile.rect;
    }
    relayout();
    if (glide) {
        move_.setValue(0);
        move_.animateTo(1, kGlideSpring);
    }
}

void TreemapView::relayout(bool animatePick) {
    std::unordered_map<std::int64_t, bool> wasPicked;
    if (animatePick) {
        for (const TreemapTile& tile : tiles_)
            wasPicked[tile.id] = tile.picked;
    }
    tiles_.clear();
    if (index_) {
        tiles_ = treemapTiles(*index_, kids_, tileArea());
        if (current()) markPicked(tiles_, *index_, model_.basket());
    }
    for (const TreemapTile& tile : tiles_) {
        const auto was = wasPicked.find(tile.id);
        if (was == wasPicked.end() || was->second == tile.picked) continue;
        // The face, the stripes and the badge move to the new look on the pick spring.
        Motion& m = motionOf(tile.id);
        if (!m.pick) {
            m.pick.emplace(was->second ? 1.0 : 0.0);
            connect(&*m.pick, &SpringAnimator::valueChanged, this, [this] { update(); });
        }
        m.pick->animateTo(tile.picked ? 1 : 0, kPickSpring);
    }
    layerValid_ = false;
    if (focusId_ && tileIndexOf(*focusId_) < 0) focusId_.reset();
    if (!focusId_ && hasFocus()) {
        if (const int k = tileToward(tiles_, -1, Qt::Key_Right); k >= 0)
            focusId_ = tiles_[std::size_t(k)].id;
    }
    if (hoverId_ && tileIndexOf(*hoverId_) < 0) hoverId_.reset();
    if (pressedId_ && tileIndexOf(*pressedId_) < 0) pressedId_.reset();
    std::erase_if(motion_, [this](const auto& m) { return tileIndexOf(m.first) < 0; });
    update();
}

double TreemapView::pickAmount(std::int64_t id) const {
    if (auto it = motion_.find(id); it != motion_.end() && it->second->pick)
        return it->second->pick->value();
    const int k = tileIndexOf(id);
    return k >= 0 && tiles_[std::size_t(k)].picked ? 1 : 0;
}

int TreemapView::tileIndexOf(std::int64_t id) const {
    for (int k = 0; k < int(tiles_.size()); ++k) {
        if (tiles_[std::size_t(k)].id == id) return k;
    }
    return -1;
}

int TreemapView::hitTest(QPointF p) const {
    return tileAt(tiles_, p, hoverId_ ? tileIndexOf(*hoverId_) : -1);
}

void TreemapView::resizeEvent(QResizeEvent*) {
    relayout();
}

void TreemapView::mouseMoveEvent(QMouseEvent* event) {
    const int k = hitTest(event->position());
    std::optional<std::int64_t> hover;
    if (k >= 0) hover = tiles_[std::size_t(k)].id;
    setHover(hover);
}

void TreemapView::leaveEvent(QEvent*) {
    setHover(std::nullopt);
}

TreemapView::Motion& TreemapView::motionOf(std::int64_t id) {
    std::unique_ptr<Motion>& m = motion_[id];
    if (!m) {
        m = std::make_unique<Motion>();
        connect(&m->lift, &SpringAnimator::valueChanged, this, [this] { update(); });
        connect(&m->press, &SpringAnimator::valueChanged, this, [this] { update(); });
    }
    return *m;
}

void TreemapView::setHover(std::optional<std::int64_t> id) {
    if (id == hoverId_) return;
    // The others tile never rises.
    if (hoverId_ && *hoverId_ >= 0) motionOf(*hoverId_).lift.animateTo(0, kLiftSpring);
    hoverId_ = id;
    if (hoverId_ && *hoverId_ >= 0) motionOf(*hoverId_).lift.animateTo(1, kLiftSpring);
    update();
}

void TreemapView::setPressed(std::optional<std::int64_t> id) {
    if (pressedId_) motionOf(*pressedId_).press.animateTo(0, kTilePressSpring);
    pressedId_ = id;
    if (pressedId_) motionOf(*pressedId_).press.animateTo(1, kTilePressSpring);
    update();
}

void TreemapView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int k = hitTest(event->position());
    // The others tile is not a button.
    if (k < 0 || tiles_[std::size_t(k)].isOthers()) return;
    setPressed(tiles_[std::size_t(k)].id);
}

void TreemapView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressedId_) return;
    const std::int64_t pressed = *pressedId_;
    setPressed(std::nullopt);
    const int k = hitTest(event->position());
    if (k >= 0 && tiles_[std::size_t(k)].id == pressed) activate(tiles_[std::size_t(k)]);
}

void TreemapView::activate(const TreemapTile& tile) {
    if (tile.isOthers() || !current()) return;
    if (index_->isDir(tile.node())) {
        model_.open(tile.node());
    } else {
        model_.toggleBasket(tile.node());
    }
}

std::optional<NodeId> TreemapView::focusNode() const {
    if (focusIndex() < 0) return std::nullopt;
    return tiles_[std::size_t(focusIndex())].node();
}

double TreemapView::leavingOpacity() const {
    return leaving_.isNull() ? 0 : std::clamp(1 - appear_.value(), 0.0, 1.0);
}

QRectF TreemapView::faceRect(const TreemapTile& tile) {
    const TileLook look = tileLook(tile);
    return QRectF(look.inner.x(), look.inner.y(), std::max(look.inner.width(), 1.0),
                  std::max(look.inner.height() - look.depth, 1.0));
}

void TreemapView::keyPressEvent(QKeyEvent* event) {
    const int at = focusIndex();
    int to = -1;
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (event->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) break;
            to = tileToward(tiles_, at, event->key());
            break;
        case Qt::Key_Home: to = tileToward(tiles_, -1, Qt::Key_Right); break;
        case Qt::Key_End:
            for (int k = int(tiles_.size()) - 1; k >= 0 && to < 0; --k) {
                if (!tiles_[std::size_t(k)].isOthers()) to = k;
            }
            break;
        default: break;
    }
    if (to >= 0) {
        focusId_ = tiles_[std::size_t(to)].id;
        update();
        return;
    }
    const bool acts = at >= 0 && current();
    if (opensEntry(*event)) {
        if (acts) activate(tiles_[std::size_t(at)]);
        return;
    }
    if (event->key() == Qt::Key_Space && !(event->modifiers() & ~Qt::KeypadModifier)) {
        if (acts) model_.toggleBasket(tiles_[std::size_t(at)].node());
        return;
    }
    if (opensMenu(*event)) {
        openRingMenu();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TreemapView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (focusIndex() < 0) {
        if (const int k = tileToward(tiles_, -1, Qt::Key_Right); k >= 0)
            focusId_ = tiles_[std::size_t(k)].id;
    }
    update();
}

void TreemapView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void TreemapView::openTileMenu(int k, QPoint global) {
    if (k < 0 || tiles_[std::size_t(k)].isOthers() || !current()) return;
    makeItemMenu(model_, tiles_[std::size_t(k)].node(), true, this)->popup(global);
}

void TreemapView::openRingMenu() {
    const int at = focusIndex();
    if (at < 0) return;
    const QRectF face = faceRect(tiles_[std::size_t(at)]);
    openTileMenu(at, mapToGlobal(QPoint(int(face.left()) + kTileMenuInset,
                                        int(face.top()) + kTileMenuInset)));
}

void TreemapView::contextMenuEvent(QContextMenuEvent* event) {
    // From the keyboard the event's position is only the view's centre: the menu is the ring
    // tile's. Taken either way, so that the window's own menu never opens over the treemap.
    event->accept();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        openRingMenu();
    } else {
        openTileMenu(hitTest(event->pos()), event->globalPos());
    }
}

bool TreemapView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int k = hitTest(help->pos());
        if (k >= 0 && index_) {
            QToolTip::showText(help->globalPos(), tileHelp(*index_, tiles_[std::size_t(k)]), this);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void TreemapView::ensurePictures() {
    // The well's soft shadow and a full set of tiles take milliseconds to draw (about 2 and 5 ms
    // at full size): both are kept as pictures until the tiles or the size change.
    const qreal dpr = devicePixelRatioF();
    auto canvas = [&] {
        QPixmap pixmap(size() * dpr);
        pixmap.setDevicePixelRatio(dpr);
        pixmap.fill(Qt::transparent);
        return pixmap;
    };
    if (well_.size() != size() * dpr) {
        well_ = canvas();
        QPainter wellPainter(&well_);
        wellPainter.setRenderHint(QPainter::Antialiasing);
        paintWell(wellPainter, QRectF(rect()));
        layerValid_ = false;
    }
    if (!layerValid_) {
        // The pictures are drawn again in place, without new memory to fault in.
        if (layer_.size() == well_.size()) {
            layer_.fill(Qt::transparent);
        } else {
            layer_ = canvas();
        }
        QPainter layerPainter(&layer_);
        layerPainter.setRenderHint(QPainter::Antialiasing);
        for (const TreemapTile& tile : tiles_)
            paintTile(layerPainter, tile, 0, 0);
        layerPainter.end();
        // The tiles over the well in one opaque picture, so that a still treemap is mostly one
        // plain copy. Outside its corners the well is opaque, so there this is the same as
        // drawing the two in turn; the corners are never copied from it.
        if (composed_.size() != well_.size()) {
            composed_ = QPixmap::fromImage(QImage(well_.size(), QImage::Format_RGB32));
            composed_.setDevicePixelRatio(dpr);
        }
        QPainter composedPainter(&composed_);
        composedPainter.setCompositionMode(QPainter::CompositionMode_Source);
        composedPainter.drawPixmap(0, 0, well_);
        composedPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        composedPainter.drawPixmap(0, 0, layer_);
        layerValid_ = true;
    }
}

void TreemapView::paintEvent(QPaintEvent*) {
    ensurePictures();
    const qreal dpr = devicePixelRatioF();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double t = std::clamp(appear_.value(), 0.0, 1.0);
    const int c = kWellCorner;
    const int w = width(), h = height();
    if (t == 1 && from_.empty() && w > 2 * c && h > 2 * c && dpr == std::floor(dpr)) {
        // The well's rounded corners, and the tiles in them, over what lies beneath; the rest
        // copied.
        for (const QRect& corner : {QRect(0, 0, c, c), QRect(w - c, 0, c, c),
                                    QRect(0, h - c, c, c), QRect(w - c, h - c, c, c)}) {
            const QRectF from(corner.topLeft() * dpr, corner.size() * dpr);
            painter.drawPixmap(corner, well_, from);
            painter.drawPixmap(corner, layer_, from);
        }
        for (const QRect& part : {QRect(c, 0, w - 2 * c, c), QRect(0, c, w, h - 2 * c),
                                  QRect(c, h - c, w - 2 * c, c)})
            painter.drawPixmap(part, composed_, QRectF(part.topLeft() * dpr, part.size() * dpr));
    } else {
        painter.drawPixmap(0, 0, well_);
        if (t == 1 && from_.empty()) painter.drawPixmap(0, 0, layer_);
    }
    if (!leaving_.isNull() && t < 1) {
        // The folder left behind fades out where it was.
        painter.setOpacity(1 - t);
        painter.drawPixmap(0, 0, leaving_);
        painter.setOpacity(1);
    }
    if (tiles_.empty()) {
        paintEmptyState(painter, QRectF(rect()), QStringLiteral("square.dashed"),
                        kTreemapEmptySymbol, QStringLiteral("Empty folder"), kTreemapEmptyText,
                        kTreemapEmptySpacing);
        return;
    }

    // A new folder's tiles fade in while growing from 92 % about the centre.
    if (t < 1) {
        const QPointF centre = QRectF(rect()).center();
        const double scale = 0.92 + 0.08 * t;
        painter.translate(centre);
        painter.scale(scale, scale);
        painter.translate(-centre);
        painter.setOpacity(t);
    }
    if (!from_.empty()) {
        // Gliding to new places: every tile drawn where it is on its way.
        const double v = move_.value();
        for (TreemapTile tile : tiles_) {
            if (auto it = from_.find(tile.id); it != from_.end()) {
                const QRectF& a = it->second;
                const QRectF& b = tile.rect;
                tile.rect = QRectF(a.x() + (b.x() - a.x()) * v, a.y() + (b.y() - a.y()) * v,
                                   a.width() + (b.width() - a.width()) * v,
                                   a.height() + (b.height() - a.height()) * v);
            }
            paintTile(painter, tile, 0, 0);
        }
        paintFocus(painter);
        return;
    }
    if (t < 1) painter.drawPixmap(0, 0, layer_);
    // Tiles away from rest (risen, rising, pressed), over the well again and over their
    // neighbours.
    for (const TreemapTile& tile : tiles_) {
        auto it = motion_.find(tile.id);
        if (it == motion_.end()) continue;
        const Motion& m = *it->second;
        const double lift = m.lift.value(), press = m.press.value();
        const bool picking = m.pick && m.pick->moving();
        if (std::abs(lift) < 1e-3 && std::abs(press) < 1e-3 && !picking) continue;
        // The well again under the tile and the room its face rises into.
        const QRectF area = tile.rect.adjusted(0, -2, 0, 0);
        painter.drawPixmap(area, well_, QRectF(area.topLeft() * dpr, area.size() * dpr));
        paintTile(painter, tile, lift, press, picking ? m.pick->value() : -1);
    }
    // Motions back at rest are dropped.
    std::erase_if(motion_, [](const auto& m) {
        return !m.second->lift.moving() && !m.second->press.moving() &&
               !(m.second->pick && m.second->pick->moving()) && m.second->lift.value() == 0 &&
               m.second->press.value() == 0;
    });
    paintFocus(painter);
}

void TreemapView::paintFocus(QPainter& painter) const {
    if (!hasFocus() || focusIndex() < 0) return;
    const TreemapTile& tile = tiles_[std::size_t(focusIndex())];
    double offset = 0;
    if (auto it = motion_.find(tile.id); it != motion_.end()) {
        const TileLook look = tileLook(tile);
        offset = faceOffset(look, it->second->lift.value(), it->second->press.value());
    }
    paintFocusRing(painter, roundedShape(faceRect(tile).translated(0, offset), tileLook(tile).radius));
}

void TreemapView::paintTile(QPainter& painter, const TreemapTile& tile, double lift, double press,
                            double pick) const {
    const TileLook look = tileLook(tile);
    const TileColour colour = tileColour(*index_, tile, AppModel::ruleSet());
    const double offset = faceOffset(look, lift, press);

    // The picked look, or the way to or from it (`p` 0 own look, 1 picked).
    const double p = std::clamp(pick < 0 ? (tile.picked ? 1.0 : 0.0) : pick, 0.0, 1.0);
    auto mix = [p](const QColor& a, const QColor& b) {
        return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * p),
                                float(a.greenF() + (b.greenF() - a.greenF()) * p),
                                float(a.blueF() + (b.blueF() - a.blueF()) * p));
    };
    const QColor face =
        mix(Palette::tint(colour.hex, tile.isOthers() ? kOthersFaceTint : kTileFaceTint),
            Palette::tint(0xFF6A2B, kPickedFaceTint));
    const QColor edge = mix(Palette::shade(colour.hex, kTileEdgeShade), Color::tangerineEdge);

    // The key: its face over an edge `depth` below it, both inner.height - depth high.
    const QRectF keyRect(look.inner.x(), look.inner.y(), std::max(look.inner.width(), 1.0),
                         std::max(look.inner.height() - look.depth, 1.0));
    paintKeycap(painter, roundedShape(keyRect, look.radius), face, edge, look.depth, offset);

    const QRectF faceRect = keyRect.translated(0, offset);
    if (p > 0) {
        QPainterPath faceShape;
        faceShape.addRoundedRect(faceRect, look.radius, look.radius);
        painter.save();
        painter.setClipPath(faceShape, Qt::IntersectClip);
        QColor stripe = Color::tangerine;
        stripe.setAlphaF(kStripeOpacity * p);
        painter.setPen(QPen(stripe, kStripeWidth));
        for (const QLineF& line : stripeLines(faceRect))
            painter.drawLine(line);
        painter.restore();
    }

    if (look.label) {
        const QColor ink = Palette::shade(colour.hex, kTileInkShade);
        const QRectF text =
            faceRect.adjusted(kTileTextPadH, kTileTextPadV, -kTileTextPadH, -kTileTextPadV);
        const QFont& titleFont = (look.big ? Fonts::bigTileTitle : Fonts::tileTitle).font();
        painter.setFont(titleFont);
        painter.setPen(ink);
        const QFontMetricsF fm(titleFont);
        const QString title = tileTitle(*index_, tile);
        double y = text.top();
        // Drawn as plain lines (a text layout per tile costs more than the rest of the tile).
        for (const QString& line : tileTitleLines(title, fm, text.width(), look.titleLines)) {
            painter.drawText(QPointF(text.left(), y + fm.ascent()), line);
            y += fm.lineSpacing();
        }
        if (look.sizeLine) {
            const QFont& sizeFont = (look.big ? Fonts::bigTileSize : Fonts::tileSize).font();
            painter.setFont(sizeFont);
            QColor faded = ink;
            faded.setAlphaF(kTileSizeOpacity);
            painter.setPen(faded);
            painter.drawText(QRectF(text.left(), y + kTileSizeGap, text.width(),
                                    QFontMetricsF(sizeFont).lineSpacing()),
                             Qt::AlignLeft | Qt::AlignTop, tileSizeText(*index_, tile));
        }
    }

    if (look.m > kBadgeFrom && (p > 0 || look.badge)) {
        // The badge grows from its centre and fades in with the pick.
        const double grow = pick < 0 ? 1.0 : std::max(pick, 0.0);
        const QRectF badge(faceRect.right() - kTileBadgeInset - kTileBadge,
                           faceRect.top() + kTileBadgeInset, kTileBadge, kTileBadge);
        painter.save();
        painter.setOpacity(painter.opacity() * p);
        painter.translate(badge.center());
        painter.scale(grow, grow);
        painter.translate(-badge.center());
        painter.setPen(Qt::NoPen);
        painter.setBrush(Color::tangerine);
        painter.drawEllipse(badge);
        paintSymbol(painter, badge, QStringLiteral("checkmark"), kTileBadgePoints, Qt::white);
        painter.restore();
    }
}

}  // namespace tamrel
