#include "ui/tools/AppsView.h"

#include <QActionGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "format/Fmt.h"
#include "platform/XdgDirs.h"
#include "ui/results/AppIcon.h"
#include "ui/results/Confirmation.h"
#include "ui/results/ItemMenu.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/KeyboardFocus.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/Panel.h"
#include "ui/theme/Screen.h"
#include "ui/theme/ShownText.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/AppsMetrics.h"
#include "ui/tools/TickBox.h"
#include "ui/tools/ToolsBusy.h"
#include "ui/tools/ToolsPaint.h"
#include "ui/tools/ToolsText.h"

namespace tamrel {
namespace {

QString text(const std::string& s) {
    return shownText(QString::fromStdString(s));
}

// A bundle's icon comes with its folder; an AppImage's is the one its desktop entry names.
void paintAppIcon(QPainter& p, const QPointF& topLeft, double size, const InstalledApp& app) {
    if (app.appImage) {
        AppIcon::paint(p, topLeft, size, AppIcon::entryIcon(QString::fromStdString(app.icon)));
    } else {
        AppIcon::paint(p, topLeft, size, QString::fromStdString(app.path));
    }
}

double leftoverRowHeight() {
    return kLeftoverPadV +
           std::max(kTickSide, Fonts::itemTitle.lineHeight() + kLeftoverLineGap +
                                   Fonts::itemDetail.lineHeight()) +
           kLeftoverPadV;
}
double kindHeaderHeight() {
    return std::max(kTickSide, Fonts::kindTitle.lineHeight());
}

// The sort menu's button, with the focus ring of every key instead of the style's own.
class SortButton : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionToolButton option;
        initStyleOption(&option);
        option.state &= ~QStyle::State_HasFocus;
        painter.drawComplexControl(QStyle::CC_ToolButton, option);
        if (hasFocus()) paintFocusRing(painter, roundedShape(QRectF(rect()), kAppSortRingRadius));
    }
};

}  // namespace

// ---- Rows

AppRows::AppRows(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), spinner_(new BusySpinner(this)) {
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    spinner_->hide();
}

double AppRows::rowHeight() {
    return kAppRowPadV +
           std::max(kAppIconSide,
                    Fonts::rowTitle.lineHeight() + kAppRowLineGap + Fonts::rowDetail.lineHeight()) +
           kAppRowPadV + kAppRowDepth;
}

void AppRows::setApps(AppRefs apps, bool spinner) {
    apps_ = std::move(apps);
    hover_.reset();
    focusRow_ = apps_.empty() ? -1 : std::clamp(focusRow_, 0, int(apps_.size()) - 1);
    const double rows = double(apps_.size()) * (rowHeight() + kAppRowGap);
    spinner_->setVisible(spinner);
    spinner_->move((width() - spinner_->width()) / 2, int(kAppRowsInset + rows + kAppSpinnerGap));
    const double spinnerRoom = kAppSpinnerGap + BusySpinner::kSide + kAppSpinnerGap;
    setMinimumHeight(
        int(std::ceil(kAppRowsInset + rows + (spinner ? spinnerRoom : 0) + kAppRowsInset)));
    update();
}

QRect AppRows::rowRect(std::size_t row) const {
    return QRectF(kAppRowsInset, kAppRowsInset + double(row) * (rowHeight() + kAppRowGap),
                  width() - 2 * kAppRowsInset, rowHeight())
        .toRect();
}

std::optional<std::size_t> AppRows::rowAt(QPointF pos) const {
    if (pos.y() < kAppRowsInset || apps_.empty()) return std::nullopt;
    const auto row = std::size_t((pos.y() - kAppRowsInset) / (rowHeight() + kAppRowGap));
    if (row >= apps_.size() || !rowRect(row).contains(pos.toPoint())) return std::nullopt;
    return row;
}

void AppRows::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double step = rowHeight() + kAppRowGap;
    const auto first = std::size_t(std::max(0.0, (event->rect().top() - kAppRowsInset) / step));
    const auto last =
        std::min(apps_.size(),
                 std::size_t(std::max(0.0, (event->rect().bottom() - kAppRowsInset) / step)) + 1);
    const QDateTime now = QDateTime::currentDateTime();
    const OptionalNode& selected = model_.selectedApp();
    for (std::size_t i = first; i < last; ++i) {
        const InstalledApp& app = *apps_[i];
        const QRectF r = rowRect(i);
        const QRectF back(r.left(), r.top(), r.width(), r.height() - kAppRowDepth);
        if (selected && *selected == app.node) {
            paintKeycap(p, roundedShape(back.adjusted(0, 0, 0, -kAppRowDepth), kRowRadius),
                        QColor(0xFF, 0xF1, 0xE4), QColor(0xF0, 0xC9, 0xA8), kAppRowDepth, 0);
        } else if (hover_ == i) {
            p.setPen(Qt::NoPen);
            p.setBrush(Color::rowHover);
            p.drawPath(roundedShape(back, kRowRadius));
        }
        const QRectF inner = back.adjusted(kAppRowPadH, kAppRowPadV, -kAppRowPadH, -kAppRowPadV);
        paintAppIcon(p, QPointF(inner.left(), inner.center().y() - kAppIconSide / 2), kAppIconSide,
                     app);
        const QString total = Fmt::bytes(app.appSize + app.leftoverSize);
        const QString data = appDataLine(app);
        const double rightW =
            std::max(Fonts::tabularWidth(Fonts::itemSize.font(), total),
                     data.isEmpty() ? 0.0 : Fonts::tabularWidth(Fonts::appData.font(), data));
        const double textX = inner.left() + kAppIconSide + kAppIconGap;
        const double textW = inner.right() - rightW - kAppSizeGap - textX;
        const double nameH = Fonts::rowTitle.lineHeight();
        const double useH = Fonts::rowDetail.lineHeight();
        // Without a use line (the last use is not known) the name stands alone, centred.
        const QString use = appUseLine(app, now);
        const double top =
            inner.center().y() - (use.isEmpty() ? nameH : nameH + kAppRowLineGap + useH) / 2;
        paintLine(p, QRectF(textX, top, textW, nameH), text(app.name), Fonts::rowTitle.font(),
                  Color::ink);
        if (!use.isEmpty()) {
            paintLine(p, QRectF(textX, top + nameH + kAppRowLineGap, textW, useH), use,
                      Fonts::rowDetail.font(), Color::ink2);
        }
        if (data.isEmpty()) {
            paintDigitsRight(p, QRectF(inner.left(), inner.top(), inner.width(), inner.height()),
                             total, Fonts::itemSize.font(), Color::ink);
        } else {
            const double th = Fonts::itemSize.lineHeight();
            const double dh = Fonts::appData.lineHeight();
            const double t = inner.center().y() - (th + kAppRowLineGap + dh) / 2;
            paintDigitsRight(p, QRectF(inner.left(), t, inner.width(), th), total,
                             Fonts::itemSize.font(), Color::ink);
            paintDigitsRight(p, QRectF(inner.left(), t + th + kAppRowLineGap, inner.width(), dh),
                             data, Fonts::appData.font(), Color::ink3);
        }
        if (hasFocus() && focusRow_ == int(i)) paintFocusRing(p, roundedShape(back, kRowRadius));
    }
}

void AppRows::setFocusRow(int row) {
    if (row == focusRow_) return;
    if (focusRow_ >= 0) update(rowRect(std::size_t(focusRow_)));
    focusRow_ = row;
    if (row < 0) return;
    update(rowRect(std::size_t(row)));
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(w)) {
            const QRect r = rowRect(std::size_t(row));
            area->ensureVisible(r.center().x(), r.center().y(), 0,
                                r.height() / 2 + int(kAppRowsInset));
            break;
        }
    }
}

void AppRows::keyPressEvent(QKeyEvent* event) {
    const int count = int(apps_.size());
    if (const auto to = steppedEntry(*event, focusRow_, count)) {
        setFocusRow(*to);
        return;
    }
    if (opensEntry(*event) || (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier)) {
        if (focusRow_ >= 0 && focusRow_ < count) model_.selectApp(apps_[std::size_t(focusRow_)]->node);
        return;
    }
    QWidget::keyPressEvent(event);
}

void AppRows::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    int row = focusRow_;
    if (row < 0) {
        // The selected application's row, else the first.
        row = apps_.empty() ? -1 : 0;
        for (std::size_t i = 0; i < apps_.size(); ++i) {
            if (model_.selectedApp() == apps_[i]->node) row = int(i);
        }
    }
    focusRow_ = -1;
    setFocusRow(row);
}

void AppRows::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (focusRow_ >= 0) update(rowRect(std::size_t(focusRow_)));
}

void AppRows::mouseMoveEvent(QMouseEvent* event) {
    const auto row = rowAt(event->position());
    if (row == hover_) return;
    if (hover_) update(rowRect(*hover_));
    if (row) update(rowRect(*row));
    hover_ = row;
}

void AppRows::leaveEvent(QEvent*) {
    if (hover_) update(rowRect(*hover_));
    hover_.reset();
}

void AppRows::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (const auto row = rowAt(event->position())) model_.selectApp(apps_[*row]->node);
}

// ---- List card

AppList::AppList(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      filter_(new QLineEdit(this)),
      sort_(new SortButton(this)),
      scroll_(new QScrollArea(this)),
      rows_(new AppRows(model, nullptr)) {
    filter_->setFrame(false);
    filter_->setPlaceholderText(QStringLiteral("Filter apps"));
    filter_->setFont(Fonts::field.font());
    filter_->setText(model_.appFilter());
    QPalette pal = filter_->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, Color::ink);
    pal.setColor(QPalette::PlaceholderText, Color::ink3);
    filter_->setPalette(pal);
    connect(filter_, &QLineEdit::textEdited, &model_, &AppModel::setAppFilter);
    connect(&model_.appFilter, &PropertyNotifier::changed, this, [this] {
        if (filter_->text() != model_.appFilter()) filter_->setText(model_.appFilter());
    });

    sort_->setAutoRaise(true);
    sort_->setPopupMode(QToolButton::InstantPopup);
    sort_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    {
        const QSize icon(kAppSortIcon, kAppSortIcon);
        QPixmap glyph(icon * kAppSortIconScale);
        glyph.setDevicePixelRatio(kAppSortIconScale);
        glyph.fill(Qt::transparent);
        QPainter p(&glyph);
        paintSymbol(p, QRectF(QPointF(0, 0), icon), QStringLiteral("arrow.up.arrow.down"),
                    kAppSortPoints, Color::ink);
        p.end();
        sort_->setIcon(QIcon(glyph));
        sort_->setIconSize(icon);
    }
    sort_->setFont(Fonts::label.font());
    sort_->setMenu(new QMenu(sort_));
    connect(&model_.appSort, &PropertyNotifier::changed, this, &AppList::refreshSortMenu);
    // "Last used" is offered only while some application's last use is known.
    connect(&model_.apps, &PropertyNotifier::changed, this, &AppList::refreshSortMenu);
    refreshSortMenu();

    setBareContent(*scroll_, rows_, true);
}

void AppList::refreshSortMenu() {
    // The label: the symbol glyph then the sort's name.
    sort_->setText(rawValue(model_.appSort()));
    QMenu* menu = sort_->menu();
    menu->clear();
    for (AppSort sort : offeredAppSorts(model_.apps(), model_.appSort())) {
        QAction* action = menu->addAction(rawValue(sort));
        action->setCheckable(true);
        action->setChecked(sort == model_.appSort());
        connect(action, &QAction::triggered, this, [this, sort] { model_.setAppSort(sort); });
    }
    resizeEvent(nullptr);
}

void AppList::refresh(bool current) {
    AppRefs apps = current ? model_.sortedApps() : AppRefs{};
    rows_->setApps(std::move(apps), model_.appsLoading() && (model_.apps().empty() || !current));
}

void AppList::resizeEvent(QResizeEvent*) {
    const QSize sortSize = sort_->sizeHint();
    const int headerH = kAppListHeader;
    sort_->setGeometry(width() - kAppFieldInset - sortSize.width(),
                       (headerH - sortSize.height()) / 2, sortSize.width(), sortSize.height());
    const int fieldRight = sort_->x() - kAppFieldSortGap;
    // The text starts after the magnifier and stops as far from the field's end as the
    // magnifier stands from its start.
    const int textInset = kAppMagnifierInset + kAppMagnifierWidth + kAppMagnifierGap;
    filter_->setGeometry(kAppFieldInset + textInset, kAppFieldInset,
                         std::max(0, fieldRight - kAppFieldInset - textInset - kAppMagnifierInset),
                         kAppFieldHeight);
    scroll_->setGeometry(1, headerH + 1, width() - 2,
                         std::max(0, height() - headerH - 1 - kAppListFoot));
}

void AppList::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), kCardRadius);
    const QRectF field(kAppFieldInset, kAppFieldInset,
                       sort_->x() - kAppFieldSortGap - kAppFieldInset, kAppFieldHeight);
    p.setPen(Qt::NoPen);
    p.setBrush(Color::fieldFill);
    p.drawPath(roundedShape(field, kAppFieldRadius));
    paintSymbol(
        p,
        QRectF(field.left() + kAppMagnifierInset, field.top(), kAppMagnifierWidth, field.height()),
        QStringLiteral("magnifyingglass"), kAppMagnifierPoints, Color::ink3);
    p.fillRect(QRectF(0, kAppListHeader, width(), 1), Color::line);
}

// ---- Leftovers

LeftoverList::LeftoverList(AppModel& model, const InstalledApp& app, IndexRef index,
                           QWidget* parent)
    : QWidget(parent), model_(model), app_(app), index_(std::move(index)) {
    setMouseTracking(true);
    setFocusPolicy(index_ && !app_.leftovers.empty() ? Qt::TabFocus : Qt::NoFocus);
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
        const bool hover = hover_ == int(k);
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
        paintLine(p, QRectF(x, top, textRight - x, nameH), text(index_->name(l.node)),
                  Fonts::itemTitle.font(), Color::ink, Qt::ElideMiddle);
        paintLine(p, QRectF(x, top + nameH + kLeftoverLineGap, textRight - x, folderH),
                  parentLine(*index_, l.node, home), Fonts::itemDetail.font(), Color::ink3,
                  Qt::ElideLeft);
        paintDigitsRight(p, sizeRect, size, Fonts::leftoverSize.font(), Color::ink2);
        const bool focused = hasFocus() && focusLine_ == int(k);
        // The magnifier shows while the pointer or the keyboard's place is on the row.
        if (hover || focused)
            paintSymbol(p, mag, QStringLiteral("magnifyingglass"), kLeftoverMagnifierPoints,
                        Color::ink3);
    }
    if (hasFocus() && focusLine_ >= 0 && focusLine_ < int(all.size())) {
        const Line& line = all[std::size_t(focusLine_)];
        const QRectF ring =
            line.group ? line.rect.adjusted(-kKindRingH, -kKindRingV, kKindRingH, kKindRingV)
                       : line.rect;
        paintFocusRing(p, roundedShape(ring, kItemRadius));
    }
}

void LeftoverList::mouseMoveEvent(QMouseEvent* event) {
    int over = -1;
    const std::vector<Line> all = lines();
    for (std::size_t k = 0; k < all.size(); ++k) {
        if (!all[k].group && all[k].rect.contains(event->position())) over = int(k);
    }
    QString tip;
    if (over >= 0 && lockRect(all[std::size_t(over)].leftover).contains(event->position()))
        tip = QStringLiteral("Outside your home folder; needs your password");
    setToolTip(tip);
    if (over != hover_) {
        hover_ = over;
        update();
    }
}

void LeftoverList::leaveEvent(QEvent*) {
    hover_ = -1;
    update();
}

void LeftoverList::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !index_ || model_.index() != index_) return;
    const QPointF pos = event->position();
    for (const Line& line : lines()) {
        if (line.group) {
            const QRectF box(line.rect.left(), line.rect.center().y() - kTickSide / 2, kTickSide,
                             kTickSide);
            if (!box.contains(pos)) continue;
            flipGroup(*line.group);
            return;
        }
        if (!line.rect.contains(pos)) continue;
        const NodeId node = app_.leftovers[line.leftover].node;
        if (magnifierRect(line.leftover).contains(pos)) {
            revealNode(model_, node);
            return;
        }
        flipLeftover(node);
        return;
    }
}

void LeftoverList::flipGroup(Leftover::Kind kind) {
    const auto groups = leftoverGroups(app_);
    const auto group =
        std::find_if(groups.begin(), groups.end(), [&](const KindGroup& g) { return g.kind == kind; });
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

void LeftoverList::keyPressEvent(QKeyEvent* event) {
    const std::vector<Line> all = lines();
    if (const auto to = steppedEntry(*event, focusLine_, int(all.size()))) {
        focusLine_ = *to;
        const QRectF r = all[std::size_t(*to)].rect;
        for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
            if (auto* area = qobject_cast<QScrollArea*>(w)) {
                area->ensureVisible(int(r.center().x()), int(r.center().y()), 0, int(r.height()));
                break;
            }
        }
        update();
        return;
    }
    const bool space = event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier;
    if (!space && !opensEntry(*event)) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (!current() || focusLine_ < 0 || focusLine_ >= int(all.size())) return;
    const Line& line = all[std::size_t(focusLine_)];
    if (line.group) {
        flipGroup(*line.group);
    } else if (space) {
        flipLeftover(app_.leftovers[line.leftover].node);
    } else {
        revealNode(model_, app_.leftovers[line.leftover].node);
    }
}

void LeftoverList::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (focusLine_ < 0 && !lines().empty()) focusLine_ = 0;
    update();
}

void LeftoverList::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

// ---- Detail

AppDetail::AppDetail(AppModel& model, const InstalledApp& app, IndexRef index, QWidget* parent)
    : QWidget(parent),
      model_(model),
      app_(app),
      index_(std::move(index)),
      scroll_(new QScrollArea(this)),
      leftovers_(new LeftoverList(model, app, index_)),
      reveal_(new KeyButton(QStringLiteral("Show in File Manager"), KeyKind::plain, false, this)),
      uninstall_(new KeyButton(QStringLiteral("Uninstall"), KeyKind::accent, true, this)),
      remove_(toRemove()) {
    setBareContent(*scroll_, leftovers_, false);
    connect(&remove_, &SizeTextMotion::changed, this, qOverload<>(&QWidget::update));
    reveal_->setSymbol(QStringLiteral("folder"));
    uninstall_->setSymbol(QStringLiteral("trash.fill"));
    connect(reveal_, &QAbstractButton::clicked, this, [this] {
        if (index_ && model_.index() == index_) revealNode(model_, app_.node);
    });
    connect(uninstall_, &QAbstractButton::clicked, this,
            [this] { model_.setConfirmUninstall(true); });
    refresh();
}

std::uint64_t AppDetail::toRemove() const {
    std::uint64_t bytes = app_.appSize;
    if (!index_ || model_.index() != index_) return bytes;
    for (const Leftover& l : app_.leftovers) {
        if (model_.leftoverPicked().contains(l.node) && l.node < index_->count())
            bytes += index_->size(l.node);
    }
    return bytes;
}

QString AppDetail::footnote() const {
    return detailFootnote(app_, running_);
}

bool AppDetail::showsPasswordNote() const {
    return std::any_of(app_.leftovers.begin(), app_.leftovers.end(), [&](const Leftover& l) {
        return l.system && model_.leftoverPicked().contains(l.node);
    });
}

void AppDetail::setRunning(bool running) {
    if (running == running_) return;
    running_ = running;
    // The badge and the footnote change; the footnote may need another line.
    resizeEvent(nullptr);
    update();
}

void AppDetail::refresh() {
    const bool uninstalling = model_.uninstalling();
    uninstall_->setText(uninstalling ? QStringLiteral("Uninstalling\u2026")
                                     : QStringLiteral("Uninstall"));
    uninstall_->setEnabled(!model_.removalBusy() && index_ && model_.index() == index_);
    remove_.setBytes(toRemove(), isVisible() && model_.animation().has_value());
    leftovers_->update();
    resizeEvent(nullptr);
    update();
}

double AppDetail::badgeHeight() const {
    return badgeSize(QStringLiteral("X"), Fonts::badge.font(), kDetailBadgePadH, kDetailBadgePadV)
        .height();
}

double AppDetail::headerTextsHeight() const {
    return Fonts::detailTitle.lineHeight() + kDetailLineGap + Fonts::secondary.lineHeight() +
           kDetailLineGap + badgeHeight();
}

double AppDetail::headerHeight() const {
    return kDetailPad + std::max(kDetailIconSide, headerTextsHeight()) + kDetailPad;
}

double AppDetail::factsHeight() const {
    return kFactPadV + Fonts::factTitle.lineHeight() + kFactLineGap +
           Fonts::factValue.lineHeight() + kFactPadV + kFactGap;
}

double AppDetail::noteBesideKeys() const {
    return width() - kFootPad - uninstall_->sizeHint().width() - kFootKeyGap -
           reveal_->sizeHint().width() - kFootKeyGap - kFootPad;
}

double AppDetail::noteWidth() const {
    return footerStacked() ? width() - 2 * kFootPad : noteBesideKeys();
}

bool AppDetail::footerStacked() const {
    // Too narrow a column for the note beside the keys (a small window): it goes above them.
    return noteBesideKeys() < kFootNoteLeast;
}

int AppDetail::footnoteLines() const {
    const double noteW = noteWidth();
    if (noteW <= 0) return 1;
    const QRectF needed = QFontMetricsF(Fonts::secondary.font())
                              .boundingRect(QRectF(0, 0, noteW, 1e6), Qt::TextWordWrap, footnote());
    // A hair under a whole line is that line.
    const int lines = int(std::ceil(needed.height() / Fonts::secondary.lineHeight() - 0.01));
    return std::clamp(lines, 1, kFootNoteLines);
}

double AppDetail::footerHeight() const {
    const double lh = Fonts::secondary.lineHeight();
    const int lines = footnoteLines() + (showsPasswordNote() ? 1 : 0);
    const double texts = std::max(2 * lh + kFootLineGap, lines * lh + (lines - 1) * kFootLineGap);
    if (footerStacked())
        return kFootPad + texts + kFootKeyGap + uninstall_->sizeHint().height() + kFootPad;
    return kFootPad + std::max(texts, double(uninstall_->sizeHint().height())) + kFootPad;
}

void AppDetail::resizeEvent(QResizeEvent*) {
    const double top = headerHeight() + factsHeight() + 1;
    const double bottom = height() - 1 - footerHeight() - 1;
    scroll_->setGeometry(1, int(top), width() - 2, std::max(0, int(bottom - top)));
    leftovers_->resize(width() - 2, int(std::ceil(std::max(leftovers_->heightFor(), 1.0))));
    const QSize u = uninstall_->sizeHint();
    const QSize r = reveal_->sizeHint();
    const double mid = footerStacked() ? height() - 1 - kFootPad - u.height() / 2.0
                                       : height() - 1 - footerHeight() / 2;
    uninstall_->setGeometry(int(width() - kFootPad - u.width()), int(mid - u.height() / 2.0),
                            u.width(), u.height());
    reveal_->setGeometry(uninstall_->x() - int(kFootKeyGap) - r.width(),
                         int(mid - r.height() / 2.0), r.width(), r.height());
}

void AppDetail::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), kCardRadius);
    const double headH = headerHeight();
    // Header: icon, texts, read-out.
    paintAppIcon(p, QPointF(kDetailPad, headH / 2 - kDetailIconSide / 2), kDetailIconSide, app_);
    const QString toRemove = QStringLiteral("TO REMOVE");
    const QSizeF readSize =
        readoutSize(toRemove, remove_.bytes(), kRemoveSize, ReadoutCaption::below);
    const QRectF read(width() - kDetailPad - readSize.width(), headH / 2 - readSize.height() / 2,
                      readSize.width(), readSize.height());
    paintReadout(p, read, toRemove, remove_, kRemoveSize, ReadoutCaption::below);
    const double textX = kDetailPad + kDetailIconSide + kDetailIconGap;
    const double textW = read.left() - kDetailIconGap - textX;
    const double lh = Fonts::detailTitle.lineHeight();
    const double identityH = Fonts::secondary.lineHeight();
    double y = headH / 2 - headerTextsHeight() / 2;
    paintLine(p, QRectF(textX, y, textW, lh), text(app_.name), Fonts::detailTitle.font(),
              Color::ink);
    y += lh + kDetailLineGap;
    for (const IdentityPiece& piece : identityPieces(app_, Fonts::secondary.font(), textW)) {
        paintLine(p, QRectF(textX + piece.x, y, textW - piece.x, identityH), piece.text,
                  Fonts::secondary.font(), Color::ink2, Qt::ElideNone);
    }
    y += identityH + kDetailLineGap;
    double bx = textX;
    const auto badge = [&](const QString& label, const QString& symbol) {
        bx += paintBadge(p, QPointF(bx, y), label, Fonts::badge.font(), Color::ink2,
                         Color::fieldFill, kDetailBadgePadH, kDetailBadgePadV, symbol)
                  .width() +
              kDetailBadgeGap;
    };
    if (app_.appStore) badge(QStringLiteral("App Store"), QStringLiteral("bag.fill"));
    if (app_.homebrew) badge(QStringLiteral("Homebrew"), QStringLiteral("mug.fill"));
    if (running_) badge(QStringLiteral("Open now"), QStringLiteral("circle.fill"));

    // Facts; without a known last use, the first two share the row.
    const QDateTime now = QDateTime::currentDateTime();
    const QString facts[][2] = {{QStringLiteral("App"), Fmt::bytes(app_.appSize)},
                                {QStringLiteral("Left around your computer"), leftoverFact(app_)},
                                {QStringLiteral("Last used"), lastUsedFact(app_, now)}};
    const int factCount = int(std::size(facts)) - (app_.lastUsedKnown ? 0 : 1);
    // Tiles of whole points.
    const double factW =
        std::trunc((width() - 2 * kDetailPad - (factCount - 1) * kFactGap) / factCount);
    const double factH = factsHeight() - kFactGap;
    const double titleH = Fonts::factTitle.lineHeight();
    for (int i = 0; i < factCount; ++i) {
        const QRectF tile(kDetailPad + i * (factW + kFactGap), headH, factW, factH);
        p.setPen(Qt::NoPen);
        p.setBrush(Color::softFill);
        p.drawPath(roundedShape(tile, kFactRadius));
        paintLine(p,
                  QRectF(tile.left() + kFactPadH, tile.top() + kFactPadV,
                         tile.width() - 2 * kFactPadH, titleH),
                  facts[i][0], Fonts::factTitle.font(), Color::ink3);
        const QRectF valueRect(tile.left() + kFactPadH,
                               tile.top() + kFactPadV + titleH + kFactLineGap,
                               tile.width() - 2 * kFactPadH, Fonts::factValue.lineHeight());
        p.save();
        p.setClipRect(valueRect);
        const QFontMetricsF fm(Fonts::factValue.font());
        p.setPen(Color::ink);
        Fonts::drawTabular(
            p, QPointF(valueRect.left(), valueRect.top() + fm.ascent()), Fonts::factValue.font(),
            Fonts::elidedTabular(Fonts::factValue.font(), facts[i][1], valueRect.width()));
        p.restore();
    }
    const double lineTop = headH + factsHeight();
    p.fillRect(QRectF(0, lineTop, width(), 1), Color::line);
    const double footTop = height() - 1 - footerHeight();
    p.fillRect(QRectF(0, footTop - 1, width(), 1), Color::line);

    // Footer notes.
    const double noteW = noteWidth();
    const double noteLh = Fonts::secondary.lineHeight();
    const bool lock = showsPasswordNote();
    // The note wraps rather than being cut: it says what happens to the user's files.
    const double noteH = footnoteLines() * noteLh;
    double ny = footerStacked() ? footTop + kFootPad
                                : footTop + footerHeight() / 2 -
                                      (lock ? (noteH + kFootLineGap + noteLh) / 2 : noteH / 2);
    p.setFont(Fonts::secondary.font());
    p.setPen(Color::ink2);
    p.drawText(QRectF(kFootPad, ny, noteW, noteH), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               footnote());
    if (lock) {
        ny += noteH + kFootLineGap;
        paintSymbol(p, QRectF(kFootPad, ny, kFootLockWidth, noteLh), QStringLiteral("lock.fill"),
                    kFootLockPoints, Color::ink2);
        paintLine(p, QRectF(kFootPad + kFootLockStep, ny, noteW - kFootLockStep, noteLh),
                  QStringLiteral("Some items need your password."), Fonts::secondary.font(),
                  Color::ink2);
    }
}

// ---- The screen

AppsView::AppsView(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      running_(new RunningCheck(model, this)),
      list_(new AppList(model, this)),
      placeholder_(new Panel(kCardRadius, this)) {
    loading_ = new LoadingState(QString(), 0, placeholder_);
    connect(running_, &RunningCheck::changed, this, [this] {
        if (detail_) detail_->setRunning(selectedRunning());
        retitle();
    });
    // An uninstall asked the application to quit: whether it still runs is asked again.
    connect(&model_.uninstalling, &PropertyNotifier::changed, this, [this] {
        if (!model_.uninstalling()) checkRunning();
    });
    connect(&model_.apps, &PropertyNotifier::changed, this, [this] {
        generation_.receive(model_.index());
        refresh();
        rebuildDetail();
    });
    connect(&model_.index, &PropertyNotifier::changed, this, [this] {
        // The inventory on screen belongs to another generation now: nothing of it is shown
        // or acted on until the inventory of this one arrives.
        if (isVisible() && !current()) model_.loadApps(false);
        refresh();
        rebuildDetail();
    });
    connect(&model_.selectedApp, &PropertyNotifier::changed, this, &AppsView::rebuildDetail);
    for (const PropertyNotifier* property : Notifiers{&model_.appFilter, &model_.appSort,
                        &model_.appsLoading, &model_.selectedApp})
        connect(property, &PropertyNotifier::changed, this, &AppsView::refresh);
    for (const PropertyNotifier* property : Notifiers{&model_.leftoverPicked, &model_.uninstalling,
                        &model_.revision}) {
        connect(property, &PropertyNotifier::changed, this, [this] {
            if (detail_) detail_->refresh();
            retitle();
        });
    }
    connect(&model_.removalBusy, &PropertyNotifier::changed, this, [this] {
        if (detail_) detail_->refresh();
    });
    connect(&model_.confirmUninstall, &PropertyNotifier::changed, this, &AppsView::followConfirm);
    if (!model_.apps().empty()) generation_.receive(model_.index());
    refresh();
    rebuildDetail();
    followConfirm();
}

bool AppsView::current() const {
    return generation_.matches(model_.index());
}

const InstalledApp* AppsView::selected() const {
    if (!current() || !model_.selectedApp()) return nullptr;
    for (const InstalledApp& app : model_.apps()) {
        if (app.node == *model_.selectedApp()) return &app;
    }
    return nullptr;
}

QString AppsView::placeholderText() const {
    return detail_ ? QString() : loading_->text();
}

void AppsView::refresh() {
    list_->refresh(current());
    const bool loading = model_.appsLoading();
    loading_->setText(appsPlaceholder(loading, current() && model_.apps().empty()));
    loading_->setSpinning(loading);
}

void AppsView::checkRunning() {
    if (const InstalledApp* app = selected(); app && isVisible()) running_->check(*app);
}

bool AppsView::selectedRunning() const {
    const InstalledApp* app = selected();
    return app && running_->running(*app).value_or(false);
}

void AppsView::rebuildDetail() {
    const InstalledApp* app = selected();
    if (detail_ && app && detail_->app() == *app && model_.index()) {
        detail_->refresh();
        retitle();
        // The list was loaded again (or the index refreshed): whether the application runs
        // is asked again too, so "Open now" does not keep an old answer.
        checkRunning();
        return;
    }
    delete detail_;
    detail_ = nullptr;
    if (app) {
        detail_ = new AppDetail(model_, *app, model_.index(), this);
        // The last answer shows until the new one comes.
        detail_->setRunning(selectedRunning());
        detail_->show();
        checkRunning();
    }
    placeholder_->setVisible(!detail_);
    resizeEvent(nullptr);
    retitle();
}

void AppsView::showEvent(QShowEvent*) {
    model_.loadApps(false);
    checkRunning();
}

void AppsView::resizeEvent(QResizeEvent*) {
    const QRect area(kScreenSide, 0, std::max(0, width() - 2 * kScreenSide),
                     std::max(0, height() - kScreenSide));
    // In a small window the list gives up width, down to its least, so the detail keeps its keys.
    const int listW =
        int(std::clamp(area.width() - kAppCardGap - kAppDetailLeast, kAppListLeast, kAppListWidth));
    list_->setGeometry(area.left(), area.top(), listW, area.height());
    const QRect rest(area.left() + listW + kAppCardGap, area.top(),
                     std::max(0, area.width() - listW - kAppCardGap), area.height());
    if (detail_) detail_->setGeometry(rest);
    placeholder_->setGeometry(rest);
    loading_->setGeometry(0, 0, rest.width(), rest.height());
    // Room below the spinner for the empty state's wrapped lines.
    const double top = rest.height() / 2.0 - kAppPlaceholderRise;
    loading_->setGeometry(0, int(top), rest.width(), kAppPlaceholderHeight);
}

void AppsView::retitle() {
    if (!confirm_) return;
    const InstalledApp* app = selected();
    bool system = false;
    if (app) {
        for (const Leftover& l : app->leftovers)
            system = system || (l.system && model_.leftoverPicked().contains(l.node));
    }
    confirm_->setText(uninstallTitle(app));
    confirm_->setInformativeText(
        uninstallMessage(app, model_.leftoverPicked().size(), selectedRunning(), system));
}

void AppsView::followConfirm() {
    if (!model_.confirmUninstall()) {
        if (confirm_) confirm_->close();
        return;
    }
    if (confirm_) return;
    auto [box, go] =
        makeConfirmation(this, QStringLiteral("Uninstall"), QStringLiteral("Uninstall"));
    // Like the detail's key, the confirming button is off while another move runs.
    const auto followBusy = [this, go = go] {
        if (confirm_) go->setEnabled(!model_.removalBusy());
    };
    connect(&model_.removalBusy, &PropertyNotifier::changed, box, followBusy);
    connect(box, &QMessageBox::finished, this, [this, box, go] {
        // Looked up again at the moment of the click, in the shown generation only: what the
        // title and message name is what goes.
        if (box->clickedButton() == go) {
            if (const InstalledApp* app = selected()) {
                const InstalledApp copy = *app;
                ToolsBusy::startUninstall(model_, copy);
            }
        }
        model_.setConfirmUninstall(false);
    });
    confirm_ = box;
    followBusy();
    retitle();
    // The question names an application that runs: asked afresh as it opens.
    checkRunning();
    box->open();
}

}  // namespace tamrel
