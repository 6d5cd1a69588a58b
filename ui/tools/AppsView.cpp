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
#include "ui/theme/Panel.h"
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

constexpr double kListWidth = 380;
// The narrowest the detail gets while the list can give up width for it.
constexpr double kDetailLeast = 420;
// The narrowest the footer's note may be beside the keys.
constexpr double kNoteLeast = 110;
constexpr double kRowGap = 1;

const QFont& rowNameFont() {
    static const QFont font = Fonts::system(13, W::semibold);
    return font;
}
const QFont& rowUseFont() {
    static const QFont font = Fonts::system(11.5, W::medium);
    return font;
}
const QFont& rowTotalFont() {
    static const QFont font = Fonts::system(12.5, W::bold);
    return font;
}
const QFont& rowDataFont() {
    static const QFont font = Fonts::system(10.5, W::medium);
    return font;
}
const QFont& nameFont() {
    static const QFont font = Fonts::system(22, W::bold, -0.5);
    return font;
}
const QFont& identityFont() {
    static const QFont font = Fonts::system(12, W::medium);
    return font;
}
const QFont& badgeFont() {
    static const QFont font = Fonts::system(10.5, W::semibold);
    return font;
}
const QFont& factTitleFont() {
    static const QFont font = Fonts::system(11, W::medium);
    return font;
}
const QFont& factValueFont() {
    static const QFont font = Fonts::system(13, W::semibold);
    return font;
}
const QFont& footFont() {
    static const QFont font = Fonts::system(12, W::medium);
    return font;
}
const QFont& kindFont() {
    static const QFont font = Fonts::system(13, W::bold);
    return font;
}
const QFont& kindSizeFont() {
    static const QFont font = Fonts::system(12, W::medium);
    return font;
}
const QFont& leftNameFont() {
    static const QFont font = Fonts::system(12.5, W::semibold);
    return font;
}
const QFont& leftFolderFont() {
    static const QFont font = Fonts::system(11, W::medium);
    return font;
}
const QFont& leftSizeFont() {
    static const QFont font = Fonts::system(12, W::bold);
    return font;
}
const QFont& emptyFont() {
    static const QFont font = Fonts::system(12.5, W::medium);
    return font;
}
const QFont& removeFont() {
    static const QFont font = Fonts::mono(9, W::semibold, 0.8);
    return font;
}

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
    return 5 +
           std::max(20.0,
                    Fonts::lineHeight(leftNameFont()) + 1 + Fonts::lineHeight(leftFolderFont())) +
           5;
}
double kindHeaderHeight() {
    return std::max(20.0, Fonts::lineHeight(kindFont()));
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
        if (hasFocus()) paintFocusRing(painter, roundedShape(QRectF(rect()), 8));
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
    return 7 +
           std::max(30.0, Fonts::lineHeight(rowNameFont()) + 2 + Fonts::lineHeight(rowUseFont())) +
           7 + 2;
}

void AppRows::setApps(AppRefs apps, bool spinner) {
    apps_ = std::move(apps);
    hover_.reset();
    focusRow_ = apps_.empty() ? -1 : std::clamp(focusRow_, 0, int(apps_.size()) - 1);
    const double rows = double(apps_.size()) * (rowHeight() + kRowGap);
    spinner_->setVisible(spinner);
    spinner_->move((width() - spinner_->width()) / 2, int(6 + rows + 30));
    setMinimumHeight(int(std::ceil(6 + rows + (spinner ? 30 + 18 + 30 : 0) + 6)));
    update();
}

QRect AppRows::rowRect(std::size_t row) const {
    return QRectF(6, 6 + double(row) * (rowHeight() + kRowGap), width() - 12, rowHeight()).toRect();
}

std::optional<std::size_t> AppRows::rowAt(QPointF pos) const {
    if (pos.y() < 6 || apps_.empty()) return std::nullopt;
    const auto row = std::size_t((pos.y() - 6) / (rowHeight() + kRowGap));
    if (row >= apps_.size() || !rowRect(row).contains(pos.toPoint())) return std::nullopt;
    return row;
}

void AppRows::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double step = rowHeight() + kRowGap;
    const auto first = std::size_t(std::max(0.0, (event->rect().top() - 6) / step));
    const auto last =
        std::min(apps_.size(), std::size_t(std::max(0.0, (event->rect().bottom() - 6) / step)) + 1);
    const QDateTime now = QDateTime::currentDateTime();
    const OptionalNode& selected = model_.selectedApp();
    for (std::size_t i = first; i < last; ++i) {
        const InstalledApp& app = *apps_[i];
        const QRectF r = rowRect(i);
        const QRectF back(r.left(), r.top(), r.width(), r.height() - 2);
        if (selected && *selected == app.node) {
            paintKeycap(p, roundedShape(back.adjusted(0, 0, 0, -2), 11), QColor(0xFF, 0xF1, 0xE4),
                        QColor(0xF0, 0xC9, 0xA8), 2, 0);
        } else if (hover_ == i) {
            p.setPen(Qt::NoPen);
            p.setBrush(Color::withOpacity(Color::ink, 0.045));
            p.drawPath(roundedShape(back, 11));
        }
        const QRectF inner = back.adjusted(10, 7, -10, -7);
        paintAppIcon(p, QPointF(inner.left(), inner.center().y() - 15), 30, app);
        const QString total = Fmt::bytes(app.appSize + app.leftoverSize);
        const QString data = appDataLine(app);
        const double rightW =
            std::max(Fonts::tabularWidth(rowTotalFont(), total),
                     data.isEmpty() ? 0.0 : Fonts::tabularWidth(rowDataFont(), data));
        const double textX = inner.left() + 30 + 10;
        const double textW = inner.right() - rightW - 6 - textX;
        const double nameH = Fonts::lineHeight(rowNameFont());
        const double useH = Fonts::lineHeight(rowUseFont());
        // Without a use line (the last use is not known) the name stands alone, centred.
        const QString use = appUseLine(app, now);
        const double top = inner.center().y() - (use.isEmpty() ? nameH : nameH + 2 + useH) / 2;
        paintLine(p, QRectF(textX, top, textW, nameH), text(app.name), rowNameFont(), Color::ink);
        if (!use.isEmpty()) {
            paintLine(p, QRectF(textX, top + nameH + 2, textW, useH), use, rowUseFont(),
                      Color::ink2);
        }
        if (data.isEmpty()) {
            paintDigitsRight(p, QRectF(inner.left(), inner.top(), inner.width(), inner.height()),
                             total, rowTotalFont(), Color::ink);
        } else {
            const double th = Fonts::lineHeight(rowTotalFont());
            const double dh = Fonts::lineHeight(rowDataFont());
            const double t = inner.center().y() - (th + 2 + dh) / 2;
            paintDigitsRight(p, QRectF(inner.left(), t, inner.width(), th), total, rowTotalFont(),
                             Color::ink);
            paintDigitsRight(p, QRectF(inner.left(), t + th + 2, inner.width(), dh), data,
                             rowDataFont(), Color::ink3);
        }
        if (hasFocus() && focusRow_ == int(i)) paintFocusRing(p, roundedShape(back, 11));
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
            area->ensureVisible(r.center().x(), r.center().y(), 0, r.height() / 2 + 6);
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
    filter_->setFont(Fonts::system(13, W::semibold));
    filter_->setText(model_.appFilter());
    QPalette pal = filter_->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, Color::ink);
    pal.setColor(QPalette::PlaceholderText, Color::ink3);
    filter_->setPalette(pal);
    connect(filter_, &QLineEdit::textEdited, &model_, &AppModel::setAppFilter);
    connect(&model_, &AppModel::appFilterChanged, this, [this] {
        if (filter_->text() != model_.appFilter()) filter_->setText(model_.appFilter());
    });

    sort_->setAutoRaise(true);
    sort_->setPopupMode(QToolButton::InstantPopup);
    sort_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    {
        QPixmap glyph(QSize(28, 28));
        glyph.setDevicePixelRatio(2);
        glyph.fill(Qt::transparent);
        QPainter p(&glyph);
        paintSymbol(p, QRectF(0, 0, 14, 14), QStringLiteral("arrow.up.arrow.down"), 13, Color::ink);
        p.end();
        sort_->setIcon(QIcon(glyph));
        sort_->setIconSize(QSize(14, 14));
    }
    sort_->setFont(Fonts::system(12, W::semibold));
    sort_->setMenu(new QMenu(sort_));
    connect(&model_, &AppModel::appSortChanged, this, &AppList::refreshSortMenu);
    // "Last used" is offered only while some application's last use is known.
    connect(&model_, &AppModel::appsChanged, this, &AppList::refreshSortMenu);
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
    const int headerH = 10 + 30 + 10;
    sort_->setGeometry(width() - 10 - sortSize.width(), (headerH - sortSize.height()) / 2,
                       sortSize.width(), sortSize.height());
    const int fieldRight = sort_->x() - 8;
    filter_->setGeometry(10 + 10 + 11 + 6, 10, std::max(0, fieldRight - 10 - 10 - (10 + 11 + 6)),
                         30);
    scroll_->setGeometry(1, headerH + 1, width() - 2, std::max(0, height() - headerH - 1 - 18));
}

void AppList::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), 18);
    const QRectF field(10, 10, sort_->x() - 8 - 10, 30);
    p.setPen(Qt::NoPen);
    p.setBrush(Color::withOpacity(Color::ink, 0.06));
    p.drawPath(roundedShape(field, 9));
    paintSymbol(p, QRectF(field.left() + 10, field.top(), 11, field.height()),
                QStringLiteral("magnifyingglass"), 12, Color::ink3);
    p.fillRect(QRectF(0, 50, width(), 1), Color::line);
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
    double y = 16;
    if (app_.leftovers.empty()) y += 20 + Fonts::lineHeight(emptyFont()) + 20 + 12;
    if (!index_) return out;
    bool firstGroup = true;
    for (const KindGroup& group : leftoverGroups(app_)) {
        if (!firstGroup) y += 12;
        firstGroup = false;
        out.push_back({QRectF(16, y, width() - 32, kindHeaderHeight()), group.kind, 0});
        y += kindHeaderHeight();
        for (const Leftover* l : group.items) {
            y += 4;
            out.push_back({QRectF(16, y, width() - 32, leftoverRowHeight()), std::nullopt,
                           std::size_t(l - app_.leftovers.data())});
            y += leftoverRowHeight();
        }
    }
    return out;
}

double LeftoverList::heightFor() const {
    const std::vector<Line> all = lines();
    const double contentEnd =
        all.empty() ? 16 + (app_.leftovers.empty() ? 20 + Fonts::lineHeight(emptyFont()) + 20 : 0)
                    : all.back().rect.bottom();
    return contentEnd + 16;
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
    return QRectF(r.right() - 8 - 16, r.top(), 16, r.height());
}

QRectF LeftoverList::lockRect(std::size_t leftover) const {
    if (leftover >= app_.leftovers.size() || !app_.leftovers[leftover].system || !index_) return {};
    const Leftover& l = app_.leftovers[leftover];
    if (l.node >= index_->count()) return {};
    const QRectF r = rowRect(leftover);
    const double sizeW = Fonts::tabularWidth(leftSizeFont(), Fmt::bytes(index_->size(l.node)));
    const double sizeLeft = magnifierRect(leftover).left() - 10 - sizeW;
    return QRectF(sizeLeft - 8 - 10, r.top(), 10, r.height());
}

void LeftoverList::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (app_.leftovers.empty()) {
        paintLine(p, QRectF(16, 16 + 20, width() - 32, Fonts::lineHeight(emptyFont())),
                  QStringLiteral("No leftovers found. Only the app itself will be removed."),
                  emptyFont(), Color::ink2);
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
            const double sizeW = Fonts::tabularWidth(kindSizeFont(), size);
            paintLine(p,
                      QRectF(line.rect.left() + kTickSide + 8, line.rect.top(),
                             line.rect.width() - sizeW - 40, line.rect.height()),
                      kindLabel(*line.group), kindFont(), Color::ink);
            paintDigitsRight(p, line.rect, size, kindSizeFont(), Color::ink2);
            continue;
        }
        const Leftover& l = app_.leftovers[line.leftover];
        if (l.node >= index_->count()) continue;
        const QRectF r = line.rect;
        const bool hover = hover_ == int(k);
        if (hover) {
            p.setPen(Qt::NoPen);
            p.setBrush(Color::withOpacity(Color::ink, 0.04));
            p.drawPath(roundedShape(r, 8));
        }
        const bool on = picked.contains(l.node);
        double x = r.left() + 8;
        paintTickBox(p, QPointF(x, r.center().y() - kTickSide / 2),
                     on ? TickState::all : TickState::none, on ? 1 : 0);
        x += kTickSide + 10;
        const QRectF mag = magnifierRect(line.leftover);
        const QString size = Fmt::bytes(index_->size(l.node));
        const double sizeW = Fonts::tabularWidth(leftSizeFont(), size);
        const QRectF sizeRect(mag.left() - 10 - sizeW, r.top(), sizeW, r.height());
        double textRight = sizeRect.left() - 8;
        if (l.system) {
            const QRectF lock = lockRect(line.leftover);
            textRight = lock.left() - 10;
            paintSymbol(p, lock, QStringLiteral("lock.fill"), 11, Color::ink3);
        }
        const double nameH = Fonts::lineHeight(leftNameFont());
        const double folderH = Fonts::lineHeight(leftFolderFont());
        const double top = r.center().y() - (nameH + 1 + folderH) / 2;
        paintLine(p, QRectF(x, top, textRight - x, nameH), text(index_->name(l.node)),
                  leftNameFont(), Color::ink, Qt::ElideMiddle);
        paintLine(p, QRectF(x, top + nameH + 1, textRight - x, folderH),
                  parentLine(*index_, l.node, home), leftFolderFont(), Color::ink3, Qt::ElideLeft);
        paintDigitsRight(p, sizeRect, size, leftSizeFont(), Color::ink2);
        const bool focused = hasFocus() && focusLine_ == int(k);
        // The magnifier shows while the pointer or the keyboard's place is on the row.
        if (hover || focused) paintSymbol(p, mag, QStringLiteral("magnifyingglass"), 13, Color::ink3);
    }
    if (hasFocus() && focusLine_ >= 0 && focusLine_ < int(all.size())) {
        const Line& line = all[std::size_t(focusLine_)];
        paintFocusRing(p, roundedShape(line.group ? line.rect.adjusted(-4, -3, 4, 3) : line.rect, 8));
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
    uninstall_->setEnabled(!ToolsBusy::of(model_).busy() && index_ && model_.index() == index_);
    remove_.setBytes(toRemove(), isVisible() && model_.animation().has_value());
    leftovers_->update();
    resizeEvent(nullptr);
    update();
}

double AppDetail::headerHeight() const {
    const double texts = Fonts::lineHeight(nameFont()) + 4 + Fonts::lineHeight(identityFont()) + 4 +
                         badgeSize(QStringLiteral("X"), badgeFont(), 7, 3).height();
    return 18 + std::max(64.0, texts) + 18;
}

double AppDetail::factsHeight() const {
    return 8 + Fonts::lineHeight(factTitleFont()) + 2 + Fonts::lineHeight(factValueFont()) + 8 + 14;
}

double AppDetail::noteWidth() const {
    const double beside = width() - 16 - uninstall_->sizeHint().width() - 12 -
                          reveal_->sizeHint().width() - 12 - 16;
    return footerStacked() ? width() - 32 : beside;
}

bool AppDetail::footerStacked() const {
    // Too narrow a column for the note beside the keys (a small window): it goes above them.
    return width() - 16 - uninstall_->sizeHint().width() - 12 - reveal_->sizeHint().width() - 12 -
               16 <
           kNoteLeast;
}

int AppDetail::footnoteLines() const {
    const double noteW = noteWidth();
    if (noteW <= 0) return 1;
    const QRectF needed = QFontMetricsF(footFont()).boundingRect(
        QRectF(0, 0, noteW, 1e6), Qt::TextWordWrap, footnote());
    const int lines = int(std::ceil(needed.height() / Fonts::lineHeight(footFont()) - 0.01));
    return std::clamp(lines, 1, 3);
}

double AppDetail::footerHeight() const {
    const double lh = Fonts::lineHeight(footFont());
    const int lines = footnoteLines() + (showsPasswordNote() ? 1 : 0);
    const double texts = std::max(2 * lh + 2, lines * lh + (lines - 1) * 2);
    if (footerStacked()) return 16 + texts + 12 + uninstall_->sizeHint().height() + 16;
    return 16 + std::max(texts, double(uninstall_->sizeHint().height())) + 16;
}

void AppDetail::resizeEvent(QResizeEvent*) {
    const double top = headerHeight() + factsHeight() + 1;
    const double bottom = height() - 1 - footerHeight() - 1;
    scroll_->setGeometry(1, int(top), width() - 2, std::max(0, int(bottom - top)));
    leftovers_->resize(width() - 2, int(std::ceil(std::max(leftovers_->heightFor(), 1.0))));
    const QSize u = uninstall_->sizeHint();
    const QSize r = reveal_->sizeHint();
    const double mid = footerStacked() ? height() - 1 - 16 - u.height() / 2.0
                                       : height() - 1 - footerHeight() / 2;
    uninstall_->setGeometry(int(width() - 16 - u.width()), int(mid - u.height() / 2.0), u.width(),
                            u.height());
    reveal_->setGeometry(uninstall_->x() - 12 - r.width(), int(mid - r.height() / 2.0), r.width(),
                         r.height());
}

void AppDetail::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), 18);
    const double headH = headerHeight();
    // Header: icon, texts, read-out.
    paintAppIcon(p, QPointF(18, headH / 2 - 32), 64, app_);
    const double sizeW = sizeTextWidth(remove_.bytes(), 22);
    const QFont rf = removeFont();
    const double readW =
        std::max(sizeW, QFontMetricsF(rf).horizontalAdvance(QStringLiteral("TO REMOVE"))) + 24;
    const double readH =
        8 + Fonts::lineHeight(Fonts::system(22, W::bold)) + 1 + Fonts::lineHeight(rf) + 8;
    const QRectF read(width() - 18 - readW, headH / 2 - readH / 2, readW, readH);
    paintScreen(p, read, 11);
    paintSizeText(p,
                  QPointF(read.right() - 12 - sizeW,
                          read.top() + 8 + QFontMetricsF(Fonts::system(22, W::bold)).ascent()),
                  remove_, 22, Color::screenGlow, Color::withOpacity(Color::screenGlow, 0.7));
    paintLine(
        p,
        QRectF(read.left() + 12, read.top() + 8 + Fonts::lineHeight(Fonts::system(22, W::bold)) + 1,
               read.width() - 24, Fonts::lineHeight(rf)),
        QStringLiteral("TO REMOVE"), rf, Color::withOpacity(Qt::white, 0.4), Qt::ElideNone,
        Qt::AlignRight | Qt::AlignVCenter);
    const double textX = 18 + 64 + 16;
    const double textW = read.left() - 16 - textX;
    const double badgeH = badgeSize(QStringLiteral("X"), badgeFont(), 7, 3).height();
    const double textsH =
        Fonts::lineHeight(nameFont()) + 4 + Fonts::lineHeight(identityFont()) + 4 + badgeH;
    double y = headH / 2 - textsH / 2;
    paintLine(p, QRectF(textX, y, textW, Fonts::lineHeight(nameFont())), text(app_.name),
              nameFont(), Color::ink);
    y += Fonts::lineHeight(nameFont()) + 4;
    for (const IdentityPiece& piece : identityPieces(app_, identityFont(), textW)) {
        paintLine(p, QRectF(textX + piece.x, y, textW - piece.x, Fonts::lineHeight(identityFont())),
                  piece.text, identityFont(), Color::ink2, Qt::ElideNone);
    }
    y += Fonts::lineHeight(identityFont()) + 4;
    double bx = textX;
    const auto badge = [&](const QString& label, const QString& symbol) {
        bx += paintBadge(p, QPointF(bx, y), label, badgeFont(), Color::ink2,
                         Color::withOpacity(Color::ink, 0.06), 7, 3, symbol)
                  .width() +
              6;
    };
    if (app_.appStore) badge(QStringLiteral("App Store"), QStringLiteral("bag.fill"));
    if (app_.homebrew) badge(QStringLiteral("Homebrew"), QStringLiteral("mug.fill"));
    if (running_) badge(QStringLiteral("Open now"), QStringLiteral("circle.fill"));

    // Facts; without a known last use, the first two share the row.
    const QDateTime now = QDateTime::currentDateTime();
    const QString facts[3][2] = {{QStringLiteral("App"), Fmt::bytes(app_.appSize)},
                                 {QStringLiteral("Left around your computer"), leftoverFact(app_)},
                                 {QStringLiteral("Last used"), lastUsedFact(app_, now)}};
    const int factCount = app_.lastUsedKnown ? 3 : 2;
    const double factW = (width() - 36 - (factCount - 1) * 14) / factCount;
    const double factH = factsHeight() - 14;
    for (int i = 0; i < factCount; ++i) {
        const QRectF tile(18 + i * (factW + 14), headH, factW, factH);
        p.setPen(Qt::NoPen);
        p.setBrush(Color::withOpacity(Color::ink, 0.04));
        p.drawPath(roundedShape(tile, 10));
        paintLine(p,
                  QRectF(tile.left() + 12, tile.top() + 8, tile.width() - 24,
                         Fonts::lineHeight(factTitleFont())),
                  facts[i][0], factTitleFont(), Color::ink3);
        const QRectF valueRect(tile.left() + 12,
                               tile.top() + 8 + Fonts::lineHeight(factTitleFont()) + 2,
                               tile.width() - 24, Fonts::lineHeight(factValueFont()));
        p.save();
        p.setClipRect(valueRect);
        const QFontMetricsF fm(factValueFont());
        p.setPen(Color::ink);
        Fonts::drawTabular(p, QPointF(valueRect.left(), valueRect.top() + fm.ascent()),
                           factValueFont(), facts[i][1]);
        p.restore();
    }
    const double lineTop = headH + factsHeight();
    p.fillRect(QRectF(0, lineTop, width(), 1), Color::line);
    const double footTop = height() - 1 - footerHeight();
    p.fillRect(QRectF(0, footTop - 1, width(), 1), Color::line);

    // Footer notes.
    const double noteW = noteWidth();
    const double lh = Fonts::lineHeight(footFont());
    const bool lock = showsPasswordNote();
    // The note wraps rather than being cut: it says what happens to the user's files.
    const double noteH = footnoteLines() * lh;
    double ny = footerStacked()
                    ? footTop + 16
                    : footTop + footerHeight() / 2 - (lock ? (noteH + 2 + lh) / 2 : noteH / 2);
    p.setFont(footFont());
    p.setPen(Color::ink2);
    p.drawText(QRectF(16, ny, noteW, noteH), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               footnote());
    if (lock) {
        ny += noteH + 2;
        paintSymbol(p, QRectF(16, ny, 12, lh), QStringLiteral("lock.fill"), 11, Color::ink2);
        paintLine(p, QRectF(16 + 16, ny, noteW - 16, lh),
                  QStringLiteral("Some items need your password."), footFont(), Color::ink2);
    }
}

// ---- The screen

AppsView::AppsView(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      running_(new RunningCheck(model, this)),
      list_(new AppList(model, this)),
      placeholder_(new Panel(18, this)) {
    loading_ = new LoadingState(QString(), 0, placeholder_);
    connect(running_, &RunningCheck::changed, this, [this] {
        if (detail_) detail_->setRunning(selectedRunning());
        retitle();
    });
    // An uninstall asked the application to quit: whether it still runs is asked again.
    connect(&model_, &AppModel::uninstallingChanged, this, [this] {
        if (!model_.uninstalling()) checkRunning();
    });
    connect(&model_, &AppModel::appsChanged, this, [this] {
        generation_.receive(model_.index());
        refresh();
        rebuildDetail();
    });
    connect(&model_, &AppModel::indexChanged, this, [this] {
        // The inventory on screen belongs to another generation now: nothing of it is shown
        // or acted on until the inventory of this one arrives.
        if (isVisible() && !current()) model_.loadApps(false);
        refresh();
        rebuildDetail();
    });
    connect(&model_, &AppModel::selectedAppChanged, this, &AppsView::rebuildDetail);
    for (auto signal : {&AppModel::appFilterChanged, &AppModel::appSortChanged,
                        &AppModel::appsLoadingChanged, &AppModel::selectedAppChanged})
        connect(&model_, signal, this, &AppsView::refresh);
    for (auto signal : {&AppModel::leftoverPickedChanged, &AppModel::uninstallingChanged,
                        &AppModel::revisionChanged}) {
        connect(&model_, signal, this, [this] {
            if (detail_) detail_->refresh();
            retitle();
        });
    }
    connect(&ToolsBusy::of(model_), &ToolsBusy::changed, this, [this] {
        if (detail_) detail_->refresh();
    });
    connect(&model_, &AppModel::confirmUninstallChanged, this, &AppsView::followConfirm);
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
    const QRect area(22, 0, std::max(0, width() - 44), std::max(0, height() - 22));
    // In a small window the list gives up width, down to 240, so the detail keeps its keys.
    const int listW = int(std::clamp(area.width() - 16 - kDetailLeast, 240.0, kListWidth));
    list_->setGeometry(area.left(), area.top(), listW, area.height());
    const QRect rest(area.left() + listW + 16, area.top(), std::max(0, area.width() - listW - 16),
                     area.height());
    if (detail_) detail_->setGeometry(rest);
    placeholder_->setGeometry(rest);
    loading_->setGeometry(0, 0, rest.width(), rest.height());
    // Room below the spinner for the empty state's wrapped lines.
    const double top = rest.height() / 2.0 - 30;
    loading_->setGeometry(0, int(top), rest.width(), 100);
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
        if (confirm_) go->setEnabled(!ToolsBusy::of(model_).busy());
    };
    connect(&ToolsBusy::of(model_), &ToolsBusy::changed, box, followBusy);
    connect(box, &QMessageBox::finished, this, [this, box, go] {
        // Looked up again at the moment of the click, in the shown generation only: what the
        // title and message name is what goes.
        if (box->clickedButton() == go) {
            if (const InstalledApp* app = selected()) {
                const InstalledApp copy = *app;
                ToolsBusy::of(model_).startUninstall(copy);
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
