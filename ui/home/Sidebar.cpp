#include "ui/home/Sidebar.h"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QToolTip>
#include <cmath>

#include "format/Fmt.h"
#include "ui/home/SidebarMetrics.h"
#include "ui/theme/Caption.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Glyph.h"
#include "ui/theme/Keys.h"
#include "ui/theme/LED.h"
#include "ui/theme/LogoMark.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/ShownText.h"
#include "ui/theme/Symbols.h"

namespace tamrel {

namespace {

constexpr Spring kSelectSpring{0.25, 0.7};

// A caption with the paddings the lists give it.
QWidget* paddedCaption(const QString& text, int top, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* l = new QVBoxLayout(box);
    l->setContentsMargins(kSidebarCaptionInset, top, kSidebarCaptionInset, kSidebarCaptionBottom);
    l->addWidget(new Caption(text, box));
    return box;
}

// The "Open folder…" row: a dashed "plus" tile and the title, no key look, clicks anywhere.
class OpenFolderRow : public KeyControl {
public:
    explicit OpenFolderRow(QWidget* parent) : KeyControl(parent) {
        setText(QStringLiteral("Open folder…"));
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
    }
    QSize sizeHint() const override {
        return QSize(kSidebarRowWidth, int(kSidebarRowPadV + kSidebarGlyph + kSidebarRowPadV));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF tile(kSidebarRowPadH, kSidebarRowPadV, kSidebarGlyph, kSidebarGlyph);
        QPen dash(Color::ink3, kOpenDashWidth);
        // In widths of the pen.
        dash.setDashPattern({kOpenDash / kOpenDashWidth, kOpenDash / kOpenDashWidth});
        p.setPen(dash);
        const double inset = kOpenDashWidth / 2;
        p.drawRoundedRect(tile.adjusted(inset, inset, -inset, -inset), kOpenTileRadius,
                          kOpenTileRadius);
        p.setPen(Color::ink2);
        QFont plus = Fonts::symbol(kOpenPlusPoints);
        plus.setWeight(QFont::Black);
        p.setFont(plus);
        p.drawText(tile, Qt::AlignCenter, Symbols::glyph(QStringLiteral("plus")));
        const QFont& f = Fonts::rowTitle.font();
        p.setFont(f);
        const QFontMetricsF fm(f);
        p.drawText(QPointF(kSidebarTextLeft, tile.center().y() + (fm.ascent() - fm.descent()) / 2),
                   text());
        if (hasFocus()) paintFocusRing(p, roundedShape(QRectF(rect()), kRowRadius));
    }
};

}  // namespace

SidebarRowData volumeRow(const Volume& v) {
    SidebarRowData d;
    d.title = shownText(v.name);
    d.symbol =
        v.isInternal ? QStringLiteral("internaldrive.fill") : QStringLiteral("externaldrive.fill");
    d.hex = 0xFF6A2B;
    d.detail = Fmt::bytes(v.free) + QStringLiteral(" free");
    const std::uint64_t used = v.total > v.free ? v.total - v.free : 0;
    d.fill = static_cast<double>(used) / static_cast<double>(std::max<std::uint64_t>(v.total, 1));
    d.path = v.url;
    return d;
}

SidebarRowData placeRow(const Place& place) {
    SidebarRowData d;
    d.title = shownText(place.name);
    d.symbol = place.symbol;
    d.hex = place.hex;
    d.path = place.url;
    return d;
}

bool rowSelected(const OptionalPath& scanTarget, const std::string& rowPath, Phase phase) {
    return scanTarget.has_value() && *scanTarget == rowPath && phase != Phase::home;
}

double fillBarWidth(double fill, double width) {
    return std::max(fill * width, kFillLeast);
}

QString relativeDate(const QDateTime& date, const QDateTime& now) {
    const qint64 s = date.secsTo(now);
    const bool future = s < 0;
    const qint64 a = future ? -s : s;
    auto phrase = [future](qint64 n, const char* unit) {
        const QString u = QString::fromLatin1(unit) + (n == 1 ? QString() : QStringLiteral("s"));
        const QString count = QString::number(n) + QLatin1Char(' ') + u;
        return future ? QStringLiteral("in ") + count : count + QStringLiteral(" ago");
    };
    constexpr qint64 minute = 60, hour = 60 * minute;   // seconds
    constexpr qint64 week = 7, month = 30, year = 365;  // days
    if (a < minute) return QStringLiteral("now");
    if (a < hour) return phrase(a / minute, "minute");
    const qint64 days = date.date().daysTo(now.date());
    if (days == 0) return phrase(a / hour, "hour");
    if (days == 1) return QStringLiteral("yesterday");
    if (days == -1) return QStringLiteral("tomorrow");
    const qint64 d = days < 0 ? -days : days;
    if (d < week) return phrase(d, "day");
    if (d < 2 * week) return future ? QStringLiteral("next week") : QStringLiteral("last week");
    if (d < month) return phrase(d / week, "week");
    if (d < 2 * month) return future ? QStringLiteral("next month") : QStringLiteral("last month");
    if (d < year) return phrase(d / month, "month");
    if (d < 2 * year) return future ? QStringLiteral("next year") : QStringLiteral("last year");
    return phrase(d / year, "year");
}

QString indexedHelp(const QDateTime& date, const QDateTime& now) {
    return QStringLiteral("Indexed %1. Opens instantly.").arg(relativeDate(date, now));
}

AccessLook accessLook(bool granted, RuleSet rules) {
    const bool onLinux = rules == RuleSet::linuxDesktop;
    if (granted) {
        return {Color::led,
                onLinux ? QStringLiteral("Access to every folder")
                        : QStringLiteral("Full Disk Access"),
                QString()};
    }
    return {kAccessAmber, QStringLiteral("Limited access"),
            onLinux ? QStringLiteral("Root-only and other users' folders stay hidden.")
                    : QStringLiteral("Some folders stay hidden until you allow it.")};
}

// ---- SidebarRow

SidebarRow::SidebarRow(AppModel& model, SidebarRowData data, QWidget* parent)
    : KeyControl(parent),
      model_(model),
      data_(std::move(data)),
      selection_(0, this),
      press_(0, this) {
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    bindPress(this, &press_);
    setFocusPolicy(Qt::TabFocus);
    connect(&selection_, &SpringAnimator::valueChanged, this, [this] { update(); });
    connect(this, &QAbstractButton::clicked, this, [this] { model_.scan(data_.path, false); });
    connect(&model_.scanTarget, &PropertyNotifier::changed, this, &SidebarRow::followSelection);
    connect(&model_.phase, &PropertyNotifier::changed, this, &SidebarRow::followSelection);
    connect(&model_.indexed, &PropertyNotifier::changed, this, [this] { update(); });
    wasSelected_ = selected();
    selection_.setValue(wasSelected_ ? 1 : 0);
}

void SidebarRow::setData(SidebarRowData data) {
    data_ = std::move(data);
    updateGeometry();
    followSelection();
    update();
}

bool SidebarRow::selected() const {
    return rowSelected(model_.scanTarget(), data_.path, model_.phase());
}

bool SidebarRow::indexed() const {
    return model_.indexed().count(data_.path) > 0;
}

void SidebarRow::followSelection() {
    const bool now = selected();
    if (now != wasSelected_) {
        wasSelected_ = now;
        selection_.animateTo(now ? 1 : 0, kSelectSpring);
    }
    update();
}

double SidebarRow::textHeight() const {
    double text = Fonts::rowTitle.lineHeight();
    if (data_.detail) text += kSidebarLineGap + Fonts::volumeDetail.lineHeight();
    if (data_.fill) text += kSidebarLineGap + kFillBar;
    return text;
}

QSize SidebarRow::sizeHint() const {
    const double content = std::max(kSidebarGlyphTile, textHeight());
    return QSize(kSidebarRowWidth, static_cast<int>(std::ceil(kSidebarRowPadV + content +
                                                              kSidebarRowPadV + kSidebarRowDepth)));
}

QRectF SidebarRow::boltRect() const {
    if (!indexed()) return {};
    const double avail = width() - kSidebarTextLeft - kSidebarRowPadH;
    const QFontMetricsF tfm(Fonts::rowTitle.font());
    const QFontMetricsF bfm(Fonts::symbol(kBoltPoints));
    const QString bolt = Symbols::glyph(QStringLiteral("bolt.fill"));
    const double boltW = bfm.horizontalAdvance(bolt);
    const double titleW = std::min(tfm.horizontalAdvance(data_.title), avail - kBoltGap - boltW);
    const double h = height() - kSidebarRowDepth;
    const double top = (h - textHeight()) / 2;
    const double th = Fonts::rowTitle.lineHeight();
    return QRectF(kSidebarTextLeft + titleW + kBoltGap, top + (th - bfm.height()) / 2, boltW,
                  bfm.height());
}

void SidebarRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF bg(0, 0, width(), height() - kSidebarRowDepth);
    const double sel = selection_.value();
    const QPainterPath shape = roundedShape(bg, kRowRadius);
    if (sel > kSelectionShown) {
        p.save();
        p.setOpacity(std::clamp(sel, 0.0, 1.0));
        paintKeycap(p, shape, Color::keyFace, Color::keyEdge, kSidebarRowDepth,
                    keycapFaceOffset(kSidebarRowDepth, true, false) * press_.value());
        p.restore();
    } else if (hover_) {
        p.fillPath(shape, Color::withOpacity(Color::tangerine, kRowHoverTint));
    }
    // Only the face sinks while held: the content keeps its place.

    const double h = bg.height();
    paintGlyph(p, QPointF(kSidebarRowPadH, (h - kSidebarGlyphTile) / 2), data_.symbol, data_.hex,
               kSidebarGlyph);

    const QFont& tf = Fonts::rowTitle.font();
    const QFontMetricsF tfm(tf);
    double y = (h - textHeight()) / 2;
    const double left = kSidebarTextLeft;
    const double avail = width() - left - kSidebarRowPadH;
    const bool bolt = indexed();
    const QString boltGlyph = Symbols::glyph(QStringLiteral("bolt.fill"));
    const double boltW =
        bolt ? QFontMetricsF(Fonts::symbol(kBoltPoints)).horizontalAdvance(boltGlyph) + kBoltGap
             : 0;
    const QString title = tfm.elidedText(data_.title, Qt::ElideRight, avail - boltW);
    p.setFont(tf);
    p.setPen(Color::ink);
    p.drawText(QPointF(left, y + tfm.ascent()), title);
    if (bolt) {
        const QRectF br = boltRect();
        p.setFont(Fonts::symbol(kBoltPoints));
        p.setPen(Color::tangerine);
        p.drawText(br, Qt::AlignCenter, boltGlyph);
    }
    y += Fonts::lineHeight(tf);
    if (data_.detail) {
        const QFont& df = Fonts::volumeDetail.font();
        y += kSidebarLineGap;
        p.setFont(df);
        p.setPen(Color::ink2);
        p.drawText(QPointF(left, y + QFontMetricsF(df).ascent()), *data_.detail);
        y += Fonts::lineHeight(df);
    }
    if (data_.fill) {
        y += kSidebarLineGap;
        const QRectF track(left, y, avail, kFillBar);
        const double radius = kFillBar / 2;
        p.setPen(Qt::NoPen);
        p.setBrush(Color::withOpacity(Color::ink, kFillTrack));
        p.drawRoundedRect(track, radius, radius);
        p.setBrush(Color::tangerine);
        p.drawRoundedRect(
            QRectF(left, y, std::min(fillBarWidth(*data_.fill, avail), avail), kFillBar), radius,
            radius);
    }
    if (hasFocus())
        paintFocusRing(p, shape.translated(0, sel > kSelectionShown ? press_.value() : 0));
}

void SidebarRow::enterEvent(QEnterEvent*) {
    hover_ = true;
    update();
}

void SidebarRow::leaveEvent(QEvent*) {
    hover_ = false;
    update();
}

bool SidebarRow::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const auto it = model_.indexed().find(data_.path);
        if (it != model_.indexed().end() &&
            boltRect()
                .adjusted(-kBoltSlack, -kBoltSlack, kBoltSlack, kBoltSlack)
                .contains(help->pos())) {
            const QDateTime date = QDateTime::fromMSecsSinceEpoch(
                std::chrono::duration_cast<std::chrono::milliseconds>(it->second.time_since_epoch())
                    .count());
            QToolTip::showText(help->globalPos(), indexedHelp(date, QDateTime::currentDateTime()),
                               this);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return KeyControl::event(event);
}

// ---- AccessStatus

AccessStatus::AccessStatus(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(kAccessPad, kAccessPad, kAccessPad, kAccessPad);
    v->setSpacing(kAccessHintGap);
    auto* top = new QHBoxLayout();
    top->setSpacing(kAccessLedGap);
    led_ = new LED(Color::led, false, this);
    heading_ = new QLabel(this);
    heading_->setFont(Fonts::label.font());
    Color::setTextColor(heading_, Color::ink);
    top->addWidget(led_);
    top->addWidget(heading_);
    top->addStretch(1);
    v->addLayout(top);
    hint_ = new QLabel(this);
    hint_->setWordWrap(true);
    hint_->setFont(Fonts::accessHint.font());
    Color::setTextColor(hint_, Color::ink2);
    v->addWidget(hint_);
    connect(&model_.hasFullDiskAccess, &PropertyNotifier::changed, this, &AccessStatus::refresh);
    refresh();
}

QString AccessStatus::heading() const {
    return heading_->text();
}
QString AccessStatus::hint() const {
    return hint_->isVisibleTo(this) ? hint_->text() : QString();
}

void AccessStatus::refresh() {
    const AccessLook look = accessLook(model_.hasFullDiskAccess(), AppModel::ruleSet());
    led_->setColor(look.led);
    heading_->setText(look.heading);
    hint_->setText(look.hint);
    hint_->setVisible(!look.hint.isEmpty());
}

void AccessStatus::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccessFill);
    p.drawRoundedRect(QRectF(rect()), kAccessRadius, kAccessRadius);
}

// ---- Sidebar

Sidebar::Sidebar(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setFixedWidth(kSidebarWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 1, 0);  // the separator line
    column->setSpacing(0);

    auto* header = new QHBoxLayout();
    header->setContentsMargins(kSidebarHeaderInset, kSidebarHeaderTop, kSidebarHeaderInset,
                               kSidebarHeaderBottom);
    header->setSpacing(kSidebarMarkGap);
    header->addWidget(new LogoMark(kSidebarMark, this));
    auto* title = new QLabel(QStringLiteral("Tamrel"), this);
    title->setFont(Fonts::brand.font());
    Color::setTextColor(title, Color::ink);
    header->addWidget(title);
    header->addStretch(1);
    column->addLayout(header);

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);  // the rows take the focus
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    // The column's ground shows through the list.
    QPalette ground = scroll->palette();
    ground.setColor(QPalette::Window, kSidebarGround);
    scroll->setPalette(ground);
    scroll->viewport()->setPalette(ground);
    auto* content = new QWidget(scroll);
    content->setPalette(ground);
    list_ = new QVBoxLayout(content);
    list_->setContentsMargins(kSidebarListInset, 0, kSidebarListInset, kSidebarListInset);
    list_->setSpacing(kSidebarRowGap);
    list_->addWidget(paddedCaption(QStringLiteral("Disks"), 0, content));
    placesCaption_ = paddedCaption(QStringLiteral("Places"), kPlacesCaptionTop, content);
    list_->addWidget(placesCaption_);
    auto* openBox = new QWidget(content);
    auto* openLayout = new QVBoxLayout(openBox);
    openLayout->setContentsMargins(0, kOpenFolderTop, 0, 0);
    openFolder_ = new OpenFolderRow(openBox);
    openLayout->addWidget(openFolder_);
    list_->addWidget(openBox);
    list_->addStretch(1);
    connect(openFolder_, &QAbstractButton::clicked, this, [this] { model_.chooseFolder(); });
    scroll->setWidget(content);
    column->addWidget(scroll, 1);

    auto* footer = new QVBoxLayout();
    footer->setContentsMargins(kAccessInset, kAccessInset, kAccessInset, kAccessInset);
    access_ = new AccessStatus(model, this);
    footer->addWidget(access_);
    column->addLayout(footer);

    connect(&model_.volumes, &PropertyNotifier::changed, this, &Sidebar::rebuild);
    connect(&model_.places, &PropertyNotifier::changed, this, &Sidebar::rebuild);
    rebuild();
}

void Sidebar::rebuild() {
    QWidget* content = placesCaption_->parentWidget();
    // Rows are kept by path, so a disk or place keeps its hover and pressed state.
    auto sync = [&](QList<SidebarRow*>& rows, const std::vector<SidebarRowData>& wanted,
                    QWidget* before) {
        QList<SidebarRow*> next;
        for (const SidebarRowData& d : wanted) {
            SidebarRow* row = nullptr;
            for (SidebarRow* r : rows) {
                if (r->data().path == d.path && !next.contains(r)) {
                    row = r;
                    break;
                }
            }
            if (row == nullptr) {
                row = new SidebarRow(model_, d, content);
            } else {
                row->setData(d);
            }
            next.append(row);
        }
        for (SidebarRow* r : rows) {
            if (!next.contains(r)) {
                r->hide();
                r->deleteLater();
            }
        }
        for (SidebarRow* r : next)
            list_->removeWidget(r);
        int at = list_->indexOf(before);
        for (SidebarRow* r : next) {
            list_->insertWidget(at++, r);
            r->show();
        }
        rows = next;
    };
    std::vector<SidebarRowData> volumes;
    for (const Volume& v : model_.volumes())
        volumes.push_back(volumeRow(v));
    std::vector<SidebarRowData> places;
    for (const Place& pl : model_.places())
        places.push_back(placeRow(pl));
    sync(volumeRows_, volumes, placesCaption_);
    sync(placeRows_, places, openFolder_->parentWidget());
}

void Sidebar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kSidebarGround);
    p.fillRect(QRectF(width() - 1, 0, 1, height()), Color::line);
}

}  // namespace tamrel
