#include "ui/tools/LeftoverList.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include "format/Fmt.h"
#include "platform/XdgDirs.h"
#include "ui/results/ItemMenu.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/ShownText.h"
#include "ui/tools/AppsMetrics.h"
#include "ui/tools/TickBox.h"
#include "ui/tools/ToolsPaint.h"
#include "ui/tools/ToolsText.h"

namespace tamrel {

namespace {

double leftoverRowHeight() {
    return kLeftoverPadV +
           std::max(kTickSide, Fonts::itemTitle.lineHeight() + kLeftoverLineGap +
                                   Fonts::itemDetail.lineHeight()) +
           kLeftoverPadV;
}
double kindHeaderHeight() {
    return std::max(kTickSide, Fonts::kindTitle.lineHeight());
}

}  // namespace

// ---- Leftovers

LeftoverList::LeftoverList(AppModel& model, const InstalledApp& app, IndexRef index,
                           QWidget* parent)
    : QWidget(parent), model_(model), app_(app), index_(std::move(index)) {
    setFocusPolicy(index_ && !app_.leftovers.empty() ? Qt::TabFocus : Qt::NoFocus);
    rowList_.reset(new RowList(
        this, this,
        {.count = [this] { return current() ? int(lines_.size()) : 0; },
         .rect = [this](int line) { return lines_[std::size_t(line)].rect; },
         .key =
             [this](int line) {
                 const Line& l = lines_[std::size_t(line)];
                 if (l.group) return QStringLiteral("kind %1").arg(int(*l.group));
                 const NodeId node = app_.leftovers[l.leftover].node;
                 return node < index_->count() ? QString::fromStdString(index_->path(node))
                                               : QString();
             },
         .activate = [this](int line) { actOn(line, true, std::nullopt); },
         .toggle = [this](int line) { actOn(line, false, std::nullopt); },
         .click = [this](int line, QPointF pos) { actOn(line, false, pos); }}));
}

bool LeftoverList::showsEmptyText() const {
    return app_.leftovers.empty();
}

std::vector<LeftoverList::Line> LeftoverList::lines() const {
    std::vector<Line> out;
    double y = kLeftoverInset;
    if (app_.leftovers.empty())
        y += kLeftoverEmptyPad + Fonts::blurb.lineHeight() + kLeftoverEmptyPad + kKindGap;
    if (!index_) return out;
    bool firstGroup = true;
    for (const KindGroup& group : leftoverGroups(app_)) {
        if (!firstGroup) y += kKindGap;
        firstGroup = false;
        const double w = width() - 2 * kLeftoverInset;
        out.push_back({QRectF(kLeftoverInset, y, w, kindHeaderHeight()), group.kind, 0});
        y += kindHeaderHeight();
        for (const Leftover* l : group.items) {
            y += kLeftoverGap;
            out.push_back({QRectF(kLeftoverInset, y, w, leftoverRowHeight()), std::nullopt,
                           std::size_t(l - app_.leftovers.data())});
            y += leftoverRowHeight();
        }
    }
    return out;
}

double LeftoverList::heightFor() const {
    const std::vector<Line> all = lines();
    const double emptyText = kLeftoverEmptyPad + Fonts::blurb.lineHeight() + kLeftoverEmptyPad;
    const double contentEnd = all.empty()
                                  ? kLeftoverInset + (app_.leftovers.empty() ? emptyText : 0)
                                  : all.back().rect.bottom();
    return contentEnd + kLeftoverInset;
}

QRectF LeftoverList::groupBoxRect(Leftover::Kind kind) const {
    for (const Line& line : lines()) {
        if (line.group == kind)
            return QRectF(line.rect.left(), line.rect.center().y() - kTickSide / 2, kTickSide,
                          kTickSide);
    }
    return {};
}

QRectF LeftoverList::rowRect(std::size_t leftover) const {
    for (const Line& line : lines()) {
        if (!line.group && line.leftover == leftover) return line.rect;
    }
    return {};
}

QRectF LeftoverList::magnifierRect(std::size_t leftover) const {
    const QRectF r = rowRect(leftover);
    return QRectF(r.right() - kLeftoverPadH - kLeftoverMagnifierWidth, r.top(),
                  kLeftoverMagnifierWidth, r.height());
}

QRectF LeftoverList::lockRect(std::size_t leftover) const {
    if (leftover >= app_.leftovers.size() || !app_.leftovers[leftover].system || !index_) return {};
    const Leftover& l = app_.leftovers[leftover];
    if (l.node >= index_->count()) return {};
    const QRectF r = rowRect(leftover);
    const double sizeW =
        Fonts::tabularWidth(Fonts::leftoverSize.font(), Fmt::bytes(index_->size(l.node)));
    const double sizeLeft = magnifierRect(leftover).left() - kLeftoverSizeGap - sizeW;
    return QRectF(sizeLeft - kLeftoverTextGap - kLeftoverLockWidth, r.top(), kLeftoverLockWidth,
                  r.height());
}

void LeftoverList::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (app_.leftovers.empty()) {
        paintLine(p,
                  QRectF(kLeftoverInset, kLeftoverInset + kLeftoverEmptyPad,
                         width() - 2 * kLeftoverInset, Fonts::blurb.lineHeight()),
                  QStringLiteral("No leftovers found. Only the app itself will be removed."),
                  Fonts::blurb.font(), Color::ink2);
    }
    if (!index_ || model_.index() != index_) return;
    const NodeSet& picked = model_.leftoverPicked();
    const std::vector<Line> all = lines();
    const std::string home = homeDirectory();
    const std::vector<KindGroup> groups = leftoverGroups(app_);
    for (std::size_t k = 0; k < all.size(); ++k) {
        const Line& line = all[k];
        if (!line.rect.intersects(QRectF(event->rect()))) continue;
        if (line.group) {
            const auto group = std::find_if(groups.begin(), groups.end(), [&](const KindGroup& g) {
                return g.kind == *line.group;
            });
            std::size_t ticked = 0;
            std::uint64_t bytes = 0;
            for (const Leftover* l : group->items) {
                ticked += picked.contains(l->node);
                if (l->node < index_->count()) bytes += index_->size(l->node);
            }
            const TickState state = tickState(ticked, group->items.size());
            paintTickBox(p, QPointF(line.rect.left(), line.rect.center().y() - kTickSide / 2),
                         state, state == TickState::none ? 0 : 1);
            const QString size = Fmt::bytes(bytes);
            const double sizeW = Fonts::tabularWidth(Fonts::secondary.font(), size);
            paintLine(p,
                      QRectF(line.rect.left() + kTickSide + kKindLabelGap, line.rect.top(),
                             line.rect.width() - sizeW - kKindSizeRoom, line.rect.height()),
                      kindLabel(*line.group), Fonts::kindTitle.font(), Color::ink);
            paintDigitsRight(p, line.rect, size, Fonts::secondary.font(), Color::ink2);
            continue;
        }
        const Leftover& l = app_.leftovers[line.leftover];
        if (l.node >= index_->count()) continue;
        const QRectF r = line.rect;
        const bool hover = rowList_->hoverRow() == int(k);
        if (hover) {
            p.setPen(Qt::NoPen);
            p.setBrush(Color::softFill);
            p.drawPath(roundedShape(r, kItemRadius));
        }
        const bool on = picked.contains(l.node);
        double x = r.left() + kLeftoverPadH;
        paintTickBox(p, QPointF(x, r.center().y() - kTickSide / 2),
                     on ? TickState::all : TickState::none, on ? 1 : 0);
        x += kTickSide + kLeftoverTickGap;
        const QRectF mag = magnifierRect(line.leftover);
        const QString size = Fmt::bytes(index_->size(l.node));
        const double sizeW = Fonts::tabularWidth(Fonts::leftoverSize.font(), size);
        const QRectF sizeRect(mag.left() - kLeftoverSizeGap - sizeW, r.top(), sizeW, r.height());
        double textRight = sizeRect.left() - kLeftoverTextGap;
        if (l.system) {
            const QRectF lock = lockRect(line.leftover);
            textRight = lock.left() - kLeftoverLockGap;
            paintSymbol(p, lock, QStringLiteral("lock.fill"), kLeftoverLockPoints, Color::ink3);
        }
        const double nameH = Fonts::itemTitle.lineHeight();
        const double folderH = Fonts::itemDetail.lineHeight();
        const double top = r.center().y() - (nameH + kLeftoverLineGap + folderH) / 2;
        paintLine(p, QRectF(x, top, textRight - x, nameH), shownPath(index_->name(l.node)),
                  Fonts::itemTitle.font(), Color::ink, Qt::ElideMiddle);
        paintLine(p, QRectF(x, top + nameH + kLeftoverLineGap, textRight - x, folderH),
                  parentLine(*index_, l.node, home), Fonts::itemDetail.font(), Color::ink3,
                  Qt::ElideLeft);
        paintDigitsRight(p, sizeRect, size, Fonts::leftoverSize.font(), Color::ink2);
        const bool focused = rowList_->showsRing(int(k));
        // The magnifier shows while the pointer or the keyboard's place is on the row.
        if (hover || focused)
            paintSymbol(p, mag, QStringLiteral("magnifyingglass"), kLeftoverMagnifierPoints,
                        Color::ink3);
    }
    if (const int at = rowList_->currentRow(); rowList_->showsRing(at) && at < int(all.size())) {
        const Line& line = all[std::size_t(at)];
        const QRectF ring =
            line.group ? line.rect.adjusted(-kKindRingH, -kKindRingV, kKindRingH, kKindRingV)
                       : line.rect;
        paintFocusRing(p, roundedShape(ring, kItemRadius));
    }
}

void LeftoverList::resizeEvent(QResizeEvent*) {
    lines_ = lines();
    rowList_->rowsChanged();
}

void LeftoverList::mouseMoveEvent(QMouseEvent* event) {
    // The lock says why its item needs a password.
    const int over = rowList_->hoverRow();
    const Line* line = over >= 0 ? &lines_[std::size_t(over)] : nullptr;
    setToolTip(line && !line->group && lockRect(line->leftover).contains(event->position())
                   ? QStringLiteral("Outside your home folder; needs your password")
                   : QString());
}

void LeftoverList::actOn(int at, bool enter, std::optional<QPointF> pos) {
    if (!current()) return;
    const Line& line = lines_[std::size_t(at)];
    if (line.group) {
        // A click flips the box only on the box itself.
        if (!pos || groupBoxRect(*line.group).contains(*pos)) flipGroup(*line.group);
        return;
    }
    const NodeId node = app_.leftovers[line.leftover].node;
    if (enter || (pos && magnifierRect(line.leftover).contains(*pos))) {
        revealNode(model_, node);
    } else {
        flipLeftover(node);
    }
}

void LeftoverList::flipGroup(Leftover::Kind kind) {
    const auto groups = leftoverGroups(app_);
    const auto group = std::find_if(groups.begin(), groups.end(),
                                    [&](const KindGroup& g) { return g.kind == kind; });
    if (group == groups.end()) return;
    NodeSet picked = model_.leftoverPicked();
    const bool every = std::all_of(group->items.begin(), group->items.end(),
                                   [&](const Leftover* l) { return picked.contains(l->node); });
    for (const Leftover* l : group->items) {
        if (every)
            picked.erase(l->node);
        else
            picked.insert(l->node);
    }
    model_.setLeftoverPicked(std::move(picked));
}

void LeftoverList::flipLeftover(NodeId node) {
    NodeSet picked = model_.leftoverPicked();
    if (!picked.erase(node)) picked.insert(node);
    model_.setLeftoverPicked(std::move(picked));
}

}  // namespace tamrel
