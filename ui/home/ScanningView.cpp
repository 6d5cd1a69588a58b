#include "ui/home/ScanningView.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QShortcut>
#include <QVBoxLayout>
#include <cmath>

#include "format/Fmt.h"
#include "platform/PathText.h"
#include "ui/home/ScanningMetrics.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/LogoMark.h"
#include "ui/theme/PieSlice.h"
#include "ui/theme/ShownText.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel {

namespace {

std::string homePath() {
    const QByteArray home = QFile::encodeName(QDir::homePath());
    return std::string(home.constData(), static_cast<std::size_t>(home.size()));
}

}  // namespace

double Eased::step(double target, double at) {
    const double dt = last ? std::min(at - *last, 0.1) : 0.0;
    value += (1 - std::exp(-5 * dt)) * (target - value);
    last = at;
    return value;
}

QString placeName(const std::string& path, const Volumes& volumes, const std::string& home) {
    if (path == "/") {
        for (const Volume& v : volumes) {
            if (v.url == "/") return shownText(v.name);
        }
        return QStringLiteral("Computer");
    }
    if (path == home) return QStringLiteral("Home");
    return shownPath(lastComponent(path));
}

QString statsLine(qint64 dirs, std::uint64_t bytes, double rate, std::optional<double> fraction,
                  double t) {
    const QLocale locale;
    QStringList pieces;
    pieces << locale.toString(dirs) + QStringLiteral(" folders");
    pieces << Fmt::bytes(bytes);
    if (rate > 0) {
        pieces << locale.toString(static_cast<qint64>(rate / 1000)) + QStringLiteral("k files/s");
    }
    if (fraction && *fraction > 0.05 && t > 2) {
        const double remaining = t / *fraction - t;
        if (remaining < 2) {
            pieces << QStringLiteral("almost done");
        } else {
            pieces << QStringLiteral("about ") +
                          QString::number(static_cast<qint64>(std::round(remaining))) +
                          QStringLiteral("s left");
        }
    }
    return pieces.join(QStringLiteral("  ·  "));
}

Wedge dialWedge(std::optional<double> fraction, double t) {
    if (fraction) return {kTwelveOClock, std::max(*fraction, kWedgeLeast) * 360.0 + kTwelveOClock};
    const double start = kSpinDegreesPerSecond * t + kTwelveOClock;
    return {start, start + kSpinSweep + kSpinSweepSwing * std::sin(kSpinBreath * t)};
}

QString dialPercent(double fraction) {
    return QString::number(static_cast<int>(fraction * 100)) + QLatin1Char('%');
}

void paintDial(QPainter& p, QPointF topLeft, double s, std::optional<double> fraction, double t,
               QPixmap& casePixmap) {
    // The case: redrawn only when its size changes.
    const double margin = kDialShadowRoom;  // room for the shadow below and around
    const qreal dpr = p.device() != nullptr ? p.device()->devicePixelRatioF() : 1.0;
    const QSize caseSize(static_cast<int>(std::ceil((s + 2 * margin) * dpr)),
                         static_cast<int>(std::ceil((s + 2 * margin) * dpr)));
    if (casePixmap.size() != caseSize) {
        QPixmap pm(caseSize);
        pm.setDevicePixelRatio(dpr);
        pm.fill(Qt::transparent);
        QPainter cp(&pm);
        cp.setRenderHint(QPainter::Antialiasing);
        cp.setPen(Qt::NoPen);
        const QRectF body(margin, margin, s, s);
        // A soft shadow of the case colour (0.18, blur 20, 10 down), laid as widening rings.
        for (int i = kDialShadowRings; i >= 1; --i) {
            const double grow = kDialShadowGrow * i;
            QColor c = kMarkCase;
            c.setAlphaF(
                static_cast<float>(kDialShadowOpacity * (1.0 - i / (kDialShadowRings + 1.0))));
            cp.setBrush(c);
            cp.drawRoundedRect(
                body.translated(0, kDialShadowDrop).adjusted(-grow, -grow, grow, grow),
                kMarkRadius * s + grow, kMarkRadius * s + grow);
        }
        cp.setBrush(kMarkCase);
        cp.drawRoundedRect(body, kMarkRadius * s, kMarkRadius * s);
        casePixmap = pm;
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPixmap(QPointF(topLeft.x() - margin, topLeft.y() - margin), casePixmap);

    const double faceSide = (1 - 2 * kMarkInset) * s;
    const QRectF face(topLeft.x() + kMarkInset * s, topLeft.y() + kMarkInset * s, faceSide,
                      faceSide);
    const double r = face.width() / 2;
    const QPointF c = face.center();
    p.setPen(Qt::NoPen);
    p.setBrush(kMarkDisc);
    p.drawEllipse(c, r, r);
    const Wedge w = dialWedge(fraction, t);
    p.fillPath(pieSlice(face, w.start, w.end), kMarkWedge);
    p.setBrush(kMarkCase);
    p.drawEllipse(c, kDialHub * r, kDialHub * r);

    if (fraction) {
        const QFont f = Fonts::system(kDialPercentSize * s, Fonts::Weight::bold);
        const QString text = dialPercent(*fraction);
        const QFontMetricsF fm(f);
        p.setPen(kDialPercentInk);
        const double width = Fonts::tabularWidth(f, text);
        const double baseline = topLeft.y() + s - kDialPercentFoot * s - fm.descent();
        Fonts::drawTabular(p, QPointF(topLeft.x() + (s - width) / 2, baseline), f, text);
    }
    p.restore();
}

// The part redrawn on every frame: dial, count, caption and statistics line.
class ScanningView::Timeline : public QWidget {
public:
    explicit Timeline(ScanningView* view) : QWidget(view), view_(view) {
        const double h = kDial + kDialGap + Fonts::scanCount.lineHeight() +
                         Fonts::scanCaption.lineHeight() + kStatsGap + Fonts::status.lineHeight();
        setFixedHeight(static_cast<int>(std::ceil(h)));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setAttribute(Qt::WA_OpaquePaintEvent, false);
    }

    void setFrame(const Frame& frame) {
        frame_ = frame;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::TextAntialiasing);
        const double cx = width() / 2.0;
        paintDial(p, QPointF(cx - kDial / 2, 0), kDial, frame_.fraction, frame_.t, case_);
        double y = kDial + kDialGap;

        const QFont& cf = Fonts::scanCount.font();
        const QString count = QLocale().toString(frame_.files);
        const double cw = Fonts::tabularWidth(cf, count);
        p.setPen(Color::ink);
        Fonts::drawTabular(p, QPointF(cx - cw / 2, y + QFontMetricsF(cf).ascent()), cf, count);
        y += Fonts::lineHeight(cf);

        const QFont& capf = Fonts::scanCaption.font();
        p.setFont(capf);
        p.setPen(Color::ink2);
        const QString caption = view_->captionText();
        const QFontMetricsF capm(capf);
        const QString shown = capm.elidedText(caption, Qt::ElideMiddle, width() - kCaptionRoom);
        p.drawText(QPointF(cx - capm.horizontalAdvance(shown) / 2, y + capm.ascent()), shown);
        y += Fonts::lineHeight(capf) + kStatsGap;

        const QFont& sf = Fonts::status.font();
        const QString stats =
            statsLine(frame_.dirs, frame_.bytes, frame_.rate, frame_.fraction, frame_.t);
        const double sw = Fonts::tabularWidth(sf, stats);
        p.setPen(Color::ink3);
        Fonts::drawTabular(p, QPointF(cx - sw / 2, y + QFontMetricsF(sf).ascent()), sf, stats);
    }

private:
    ScanningView* view_;
    Frame frame_{std::nullopt, 0, 0, 0, 0, 0};
    QPixmap case_;
};

ScanningView::ScanningView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), start_(model.clock().now()), timer_(model.clock()) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    v->addStretch(1);
    timeline_ = new Timeline(this);
    v->addWidget(timeline_);
    v->addSpacing(kStopGap);
    stop_ = new KeyButton(QStringLiteral("Stop"), KeyKind::plain, false, this);
    v->addWidget(stop_, 0, Qt::AlignHCenter);
    v->addSpacing(kClosingGap);
    auto* closing =
        new QLabel(QStringLiteral("Only the first look takes this long. After that Tamrel opens "
                                  "instantly."),
                   this);
    closing->setFont(Fonts::blurb.font());
    closing->setAlignment(Qt::AlignHCenter);
    Color::setTextColor(closing, Color::ink3);
    v->addWidget(closing);
    v->addStretch(1);

    const auto stop = [this] {
        if (model_.progress() != nullptr) model_.progress()->cancel();
    };
    connect(stop_, &QAbstractButton::clicked, this, stop);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, stop);
    // One redraw per display frame, only while the screen is visible.
    timer_.setInterval(std::chrono::milliseconds(kFrameMs));
    timer_.setPrecise(true);
    timer_.onTimeout([this] {
        const Clock::Duration shown = timer_.clock().now() - start_;
        timeline_->setFrame(frame(std::chrono::duration<double>(shown).count()));
    });
    timeline_->setFrame(frame(0));
}

ScanningView::Frame ScanningView::frame(double seconds) {
    Frame f{};
    f.t = seconds;
    const ProgressRef& progress = model_.progress();
    if (progress != nullptr) {
        f.files = static_cast<qint64>(progress->files.load(std::memory_order_relaxed));
        f.dirs = static_cast<qint64>(progress->dirs.load(std::memory_order_relaxed));
        f.bytes = progress->bytes.load(std::memory_order_relaxed);
    }
    const std::optional<std::uint64_t> expected = model_.expectedScanBytes();
    if (expected) {
        const double target =
            std::min(static_cast<double>(f.bytes) /
                         static_cast<double>(std::max<std::uint64_t>(*expected, 1)),
                     kFractionMost);
        f.fraction = eased_.step(target, seconds);
    }
    f.rate = f.t > 0.3 ? static_cast<double>(f.files) / f.t : 0.0;
    return f;
}

QString ScanningView::captionText() const {
    const OptionalPath& target = model_.scanTarget();
    const QString name =
        target ? placeName(*target, model_.volumes(), homePath()) : QStringLiteral("your disk");
    return QStringLiteral("files read in %1").arg(name);
}

void ScanningView::showEvent(QShowEvent*) {
    start_ = timer_.clock().now();
    if (!frozen_) timer_.start();
}

void ScanningView::freeze(const Frame& frame) {
    frozen_ = true;
    timer_.stop();
    timeline_->setFrame(frame);
}

void ScanningView::hideEvent(QHideEvent*) {
    timer_.stop();
}

}  // namespace tamrel
