#include "ui/tools/AppDetail.h"

#include <QPainter>
#include <QScrollArea>
#include <algorithm>
#include <cmath>
#include <iterator>
#include "format/Fmt.h"
#include "ui/results/ItemMenu.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Panel.h"
#include "ui/theme/ShownText.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/AppsMetrics.h"
#include "ui/tools/ToolsBusy.h"
#include "ui/tools/ToolsPaint.h"
#include "ui/tools/ToolsText.h"
#include "ui/tools/LeftoverList.h"

namespace tamrel {

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
    // Names that find the same parts in the detail that replaces this one (FocusCarry).
    setObjectName(QStringLiteral("app ") + QString::fromStdString(app_.path));
    leftovers_->setObjectName(QStringLiteral("leftovers"));
    reveal_->setObjectName(QStringLiteral("reveal"));
    uninstall_->setObjectName(QStringLiteral("uninstall"));
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
    paintInstalledAppIcon(p, QPointF(kDetailPad, headH / 2 - kDetailIconSide / 2), kDetailIconSide, app_);
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
    paintLine(p, QRectF(textX, y, textW, lh), shownPath(app_.name), Fonts::detailTitle.font(),
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

}  // namespace tamrel
