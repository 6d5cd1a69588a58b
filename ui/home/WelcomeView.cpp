#include "ui/home/WelcomeView.h"

#include <sys/stat.h>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

#include "format/Fmt.h"
#include "ui/home/WelcomeMetrics.h"
#include "ui/results/BinTray.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/LED.h"
#include "ui/theme/Screen.h"
#include "ui/theme/SegmentMeter.h"
#include "ui/theme/ShownText.h"

namespace tamrel {

namespace {

constexpr Spring kAppearSpring{0.6, 0.8};

QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    Color::setTextColor(l, color);
    l->setAlignment(Qt::AlignHCenter);
    return l;
}

}  // namespace

std::optional<Volume> shownDisk(const Volumes& volumes) {
    for (const Volume& v : volumes) {
        if (v.url == "/") return v;
    }
    if (volumes.empty()) return std::nullopt;
    return volumes.front();
}

WelcomeCard welcomeCard(const Volume& disk) {
    WelcomeCard c;
    c.name = shownText(disk.name).toUpper();
    const Fmt::SplitBytes free = Fmt::split(disk.free);
    c.number = free.number;
    c.unitFree = free.unit + QStringLiteral(" FREE");
    const std::uint64_t used = disk.total > disk.free ? disk.total - disk.free : 0;
    c.usedLine =
        (Fmt::bytes(used) + QStringLiteral(" used of ") + Fmt::bytes(disk.total)).toUpper();
    c.fraction =
        static_cast<double>(used) / static_cast<double>(std::max<std::uint64_t>(disk.total, 1));
    return c;
}

std::string localPathBytes(const QUrl& url) {
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    const QByteArray bytes = QByteArray::fromPercentEncoding(encoded);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::optional<std::string> dropTarget(const QList<QUrl>& urls) {
    if (urls.isEmpty()) return std::nullopt;
    const QUrl& first = urls.first();
    if (!first.isLocalFile() || !first.host().isEmpty()) return std::nullopt;
    const std::string path = localPathBytes(first);
    if (path.empty() || path.front() != '/') return std::nullopt;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return path;
}

WelcomeCardLayout welcomeCardLayout() {
    WelcomeCardLayout l{};
    const double width = kWelcomeCardWidth;
    const double pad = kWelcomeCardPad;
    l.nameTop = pad;
    l.numberTop = l.nameTop + Fonts::diskName.lineHeight() + kWelcomeCardGap;
    l.meter = QRectF(pad, l.numberTop + Fonts::freeNumber.lineHeight() + kWelcomeCardGap,
                     width - 2 * pad, kWelcomeMeter);
    l.usedTop = l.meter.bottom() + kWelcomeCardGap;
    l.size = QSizeF(width, l.usedTop + Fonts::usedLine.lineHeight() + pad);
    return l;
}

QString dropHint(bool dropping) {
    return dropping ? QStringLiteral("Drop to look inside")
                    : QStringLiteral("or drop any folder here");
}

// The dark card of the shown disk, drawn in one piece so that it can grow and fade in as a
// whole: 500 points wide, padded 26.
class WelcomeView::Card : public QWidget {
public:
    explicit Card(QWidget* parent) : QWidget(parent), appear_(0, this), meter_(0, this) {
        const QSizeF size = welcomeCardLayout().size;
        // One more point for the light line under the panel.
        setFixedSize(static_cast<int>(size.width()),
                     static_cast<int>(std::ceil(size.height())) + 1);
        connect(&appear_, &SpringAnimator::valueChanged, this, [this] { update(); });
        connect(&meter_, &MeterMotion::changed, this, [this] { update(); });
    }

    void setCard(const WelcomeCard& card) {
        card_ = card;
        meter_.setFraction(card.fraction);
        update();
    }
    const WelcomeCard& card() const { return card_; }
    double appeared() const { return appear_.value(); }
    double shownFraction() const { return meter_.shown(); }

    void appear() {
        appear_.animateTo(1, kAppearSpring);
        meter_.appear();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const double a = appear_.value();
        p.setOpacity(std::clamp(a, 0.0, 1.0));
        const double scale = 0.96 + 0.04 * a;
        const QPointF c(width() / 2.0, height() / 2.0);
        p.translate(c);
        p.scale(scale, scale);
        p.translate(-c);
        const QRectF panel(0, 0, width(), height() - 1);
        paintScreen(p, panel, kWelcomeCardRadius);
        const WelcomeCardLayout l = welcomeCardLayout();
        const double left = l.meter.left();
        const double right = l.meter.right();

        const QFont& nf = Fonts::diskName.font();
        const QFontMetricsF nfm(nf);
        p.setFont(nf);
        p.setPen(Color::screenDim);
        p.drawText(QPointF(left, l.nameTop + nfm.ascent()),
                   nfm.elidedText(card_.name, Qt::ElideRight, right - left - kWelcomeLedRoom));
        paintLed(p, QPointF(right - kLedSide / 2.0, l.nameTop + Fonts::lineHeight(nf) / 2),
                 Color::screenGlow, ledLook(false, 0));

        const QFont& big = Fonts::freeNumber.font();
        const QFontMetricsF bfm(big);
        const double baseline = l.numberTop + bfm.ascent();
        p.setPen(Color::screenGlow);
        p.setFont(big);
        p.drawText(QPointF(left, baseline), card_.number);
        const double numberW = bfm.horizontalAdvance(card_.number);
        p.setFont(Fonts::freeUnit.font());
        p.setPen(Color::screenGlowUnit);
        p.drawText(QPointF(left + numberW + kWelcomeUnitGap, baseline), card_.unitFree);

        paintSegmentMeter(p, l.meter, meter_.shown(), kWelcomeSegments, Color::screenGlow,
                          kWelcomeUnlit);

        const QFont& uf = Fonts::usedLine.font();
        p.setFont(uf);
        p.setPen(kWelcomeUsedInk);
        p.drawText(QPointF(left, l.usedTop + QFontMetricsF(uf).ascent()), card_.usedLine);
    }

private:
    WelcomeCard card_{};
    SpringAnimator appear_;
    MeterMotion meter_;
};

// The drop hint, recoloured while a drag hovers.
class WelcomeView::Hint : public QLabel {
public:
    explicit Hint(QWidget* parent) : QLabel(parent) {
        setFont(Fonts::dropHint.font());
        setAlignment(Qt::AlignHCenter);
        set(false);
    }
    void set(bool dropping) {
        setText(dropHint(dropping));
        Color::setTextColor(this, dropping ? Color::tangerine : Color::ink3);
    }
};

WelcomeView::WelcomeView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setAcceptDrops(true);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    v->addStretch(1);

    card_ = new Card(this);
    v->addWidget(card_, 0, Qt::AlignHCenter);
    v->addSpacing(kWelcomeHeadlineGap);
    auto* headline =
        label(QStringLiteral("Let's make some room."), Fonts::headline.font(), Color::ink, this);
    v->addWidget(headline);
    v->addSpacing(kWelcomeIntroGap);
    // Two centred lines with some extra leading.
    auto* intro = label(QString(), Fonts::intro.font(), Color::ink2, this);
    intro->setTextFormat(Qt::RichText);
    intro->setText(
        QStringLiteral("<div align='center' style='line-height:%1px'>%2<br>%3</div>")
            .arg(static_cast<int>(
                std::ceil(Fonts::lineHeight(intro->font()) + kWelcomeIntroLeading)))
            .arg(QStringLiteral("Pick a disk or a folder. The first look reads every file,"),
                 QStringLiteral("after that Tamrel opens instantly and keeps up as things "
                                "change.")));
    v->addWidget(intro);
    v->addSpacing(kWelcomeKeysGap);

    auto* keys = new QHBoxLayout();
    keys->setSpacing(kWelcomeKeySpacing);
    keys->addStretch(1);
    lookInside_ = new KeyButton(QString(), KeyKind::accent, true, this);
    lookInside_->setSymbol(QStringLiteral("magnifyingglass"));
    home_ = new KeyButton(QStringLiteral("Just my Home"), KeyKind::plain, true, this);
    home_->setSymbol(QStringLiteral("house.fill"));
    keys->addWidget(lookInside_);
    keys->addWidget(home_);
    keys->addStretch(1);
    v->addLayout(keys);
    v->addSpacing(kWelcomeHintGap);
    hint_ = new Hint(this);
    v->addWidget(hint_);
    v->addStretch(1);

    connect(lookInside_, &QAbstractButton::clicked, this, [this] {
        if (disk_) model_.scan(disk_->url, false);
    });
    connect(home_, &QAbstractButton::clicked, this, [this] {
        const QByteArray home = QFile::encodeName(QDir::homePath());
        model_.scan(std::string(home.constData(), static_cast<std::size_t>(home.size())), false);
    });
    connect(&model_.volumes, &PropertyNotifier::changed, this, &WelcomeView::refresh);
    refresh();
    toast_ = new ToastView(model_, this);
}

void WelcomeView::resizeEvent(QResizeEvent*) {
    toast_->resize(toast_->sizeHint());
    toast_->place();
    toast_->raise();
}

QString WelcomeView::hintText() const {
    return hint_->text();
}
QWidget* WelcomeView::card() const {
    return card_;
}
double WelcomeView::cardShownFraction() const {
    return card_->shownFraction();
}
WelcomeCard WelcomeView::cardTexts() const {
    return card_->card();
}

void WelcomeView::refresh() {
    disk_ = shownDisk(model_.volumes());
    card_->setVisible(disk_.has_value());
    lookInside_->setVisible(disk_.has_value());
    if (disk_) {
        card_->setCard(welcomeCard(*disk_));
        lookInside_->setText(QStringLiteral("Look inside %1").arg(shownText(disk_->name)));
        lookInside_->updateGeometry();
    }
}

void WelcomeView::showEvent(QShowEvent*) {
    card_->appear();
}

void WelcomeView::setDropping(bool on) {
    if (dropping_ == on) return;
    dropping_ = on;
    hint_->set(on);
    update();
}

void WelcomeView::dragEnterEvent(QDragEnterEvent* event) {
    // Only a drag that carries a file takes the screen; a web link passes over it.
    const QList<QUrl> urls = event->mimeData()->urls();
    if (std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); })) {
        setDropping(true);
        event->acceptProposedAction();
    }
}

void WelcomeView::dragLeaveEvent(QDragLeaveEvent*) {
    setDropping(false);
}

void WelcomeView::dropEvent(QDropEvent* event) {
    setDropping(false);
    const std::optional<std::string> target = dropTarget(event->mimeData()->urls());
    if (!target) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    model_.scan(*target, false);
}

void WelcomeView::paintEvent(QPaintEvent*) {
    if (!dropping_) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(Color::tangerine, kDropLine);
    // In widths of the pen.
    pen.setDashPattern({kDropDash / kDropLine, kDropDashGap / kDropLine});
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawRoundedRect(QRectF(rect()).adjusted(kDropInset, kDropInset, -kDropInset, -kDropInset),
                      kDropRadius, kDropRadius);
}

}  // namespace tamrel
