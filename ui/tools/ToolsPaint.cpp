#include "ui/tools/ToolsPaint.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>

#include <algorithm>

#include "ui/results/AppIcon.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Screen.h"
#include "ui/theme/ScreenClock.h"
#include "ui/theme/SizeText.h"
#include "ui/theme/SpringAnimator.h"
#include "ui/tools/ToolsMetrics.h"
#include "ui/tools/ToolsText.h"

namespace tamrel {

void paintInstalledAppIcon(QPainter& painter, QPointF topLeft, double size, const InstalledApp& app) {
    if (app.appImage) {
        QStringList icons;
        for (const std::string& icon : app.icons)
            icons << QString::fromStdString(icon);
        AppIcon::paint(painter, topLeft, size, AppIcon::entryIcon(icons));
    } else {
        AppIcon::paint(painter, topLeft, size, QString::fromStdString(app.path));
    }
}

QSizeF badgeSize(const QString& text, const QFont& font, double hPad, double vPad,
                 const QString& symbol) {
    const QFontMetricsF fm(font);
    double w = fm.horizontalAdvance(text);
    if (!symbol.isEmpty()) w += font.pointSizeF() + kBadgeSymbolGap;
    return QSizeF(w + 2 * hPad, Fonts::lineHeight(font) + 2 * vPad);
}

QSizeF paintBadge(QPainter& painter, QPointF topLeft, const QString& text, const QFont& font,
                  const QColor& ink, const QColor& fill, double hPad, double vPad,
                  const QString& symbol) {
    const QSizeF size = badgeSize(text, font, hPad, vPad, symbol);
    const QRectF rect(topLeft, size);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(rect, size.height() / 2, size.height() / 2);
    double x = rect.left() + hPad;
    if (!symbol.isEmpty()) {
        const double side = font.pointSizeF();
        paintSymbol(painter, QRectF(x, rect.center().y() - side / 2, side, side), symbol,
                    font.pointSizeF(), ink);
        x += side + kBadgeSymbolGap;
    }
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(QRectF(x, rect.top(), rect.right() - x, rect.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text);
    painter.restore();
    return size;
}

void paintCard(QPainter& painter, const QRectF& rect, double radius) {
    paintPanelFast(painter, rect, radius);
}

QSizeF readoutSize(const QString& caption, std::uint64_t bytes, double size, ReadoutCaption at) {
    const double captionW = QFontMetricsF(Fonts::displayCaption.font()).horizontalAdvance(caption);
    const double w = std::max(captionW, sizeTextWidth(bytes, size)) + 2 * kReadoutPadH;
    const double captionH = Fonts::displayCaption.lineHeight();
    const double bytesH = Fonts::lineHeight(sizeTextFont(size));
    const double h = at == ReadoutCaption::above
                         ? kReadoutPadV + captionH + kReadoutLineGap + bytesH + kReadoutPadV
                         : kReadoutPadV + bytesH + kReadoutLineGap + captionH + kReadoutPadV;
    return QSizeF(w, h);
}

void paintReadout(QPainter& painter, const QRectF& rect, const QString& caption,
                  const SizeTextMotion& bytes, double size, ReadoutCaption at) {
    paintScreen(painter, rect, kReadoutRadius);
    const QFont& font = Fonts::displayCaption.font();
    const double captionH = Fonts::lineHeight(font);
    const double bytesW = sizeTextWidth(bytes.bytes(), size);
    const double top = rect.top() + kReadoutPadV;
    const double captionTop = at == ReadoutCaption::above
                                  ? top
                                  : top + Fonts::lineHeight(sizeTextFont(size)) + kReadoutLineGap;
    const double bytesTop = at == ReadoutCaption::above ? top + captionH + kReadoutLineGap : top;
    const auto paintCaption = [&] {
        paintLine(painter,
                  QRectF(rect.left() + kReadoutPadH, captionTop, rect.width() - 2 * kReadoutPadH,
                         captionH),
                  caption, font, Color::screenCaption, Qt::ElideNone,
                  Qt::AlignRight | Qt::AlignVCenter);
    };
    if (at == ReadoutCaption::above) paintCaption();
    paintSizeText(painter,
                  QPointF(rect.right() - kReadoutPadH - bytesW,
                          bytesTop + QFontMetricsF(sizeTextFont(size)).ascent()),
                  bytes, size, Color::screenGlow, Color::screenGlowUnit);
    if (at == ReadoutCaption::below) paintCaption();
}

void paintLine(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
               const QColor& ink, Qt::TextElideMode mode, Qt::Alignment align) {
    if (rect.width() <= 0) return;
    const QFontMetricsF fm(font);
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(rect, int(align) | Qt::TextSingleLine,
                     fm.elidedText(text, mode, rect.width()));
}

void paintDigitsRight(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
                      const QColor& ink) {
    const double w = Fonts::tabularWidth(font, text);
    const QFontMetricsF fm(font);
    const double baseline = rect.center().y() + (fm.ascent() - fm.descent()) / 2;
    painter.setPen(ink);
    Fonts::drawTabular(painter, QPointF(rect.right() - w, baseline), font, text);
}

double wrappedHeight(const QString& text, const QFont& font, double width) {
    const QFontMetricsF fm(font);
    return fm.boundingRect(QRectF(0, 0, std::max(width, 1.0), 1e6), Qt::TextWordWrap, text)
        .height();
}

void setBareContent(QScrollArea& area, QWidget* content, bool resizable) {
    area.setFrameShape(QFrame::NoFrame);
    area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area.setWidgetResizable(resizable);
    // The controls inside take the focus, not the area: it scrolls to the one that has it.
    area.setFocusPolicy(Qt::NoFocus);
    area.viewport()->setAutoFillBackground(false);
    area.setWidget(content);
    content->setAutoFillBackground(false);  // after setWidget, which turns it on
}

BusySpinner::BusySpinner(QWidget* parent) : QWidget(parent), timer_(screenClock()) {
    setFixedSize(kSide, kSide);
    timer_.setInterval(std::chrono::milliseconds(kFrameMs));
    timer_.onTimeout([this] {
        angle_ = (angle_ + kStepDegrees) % 360;
        update();
    });
}

void BusySpinner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Color::ink3, kLine, Qt::SolidLine, Qt::RoundCap));
    // Arcs are drawn in sixteenths of a degree.
    const double in = kInset;
    p.drawArc(QRectF(in, in, kSide - 2 * in, kSide - 2 * in), -angle_ * 16, kArcDegrees * 16);
}

void BusySpinner::showEvent(QShowEvent*) {
    timer_.start();
}
void BusySpinner::hideEvent(QHideEvent*) {
    timer_.stop();
}

LoadingState::LoadingState(const QString& text, double top, QWidget* parent)
    : QWidget(parent), text_(text), top_(top), spinner_(new BusySpinner(this)) {}

void LoadingState::setText(const QString& text) {
    text_ = text;
    update();
}

void LoadingState::setSpinning(bool on) {
    spinner_->setVisible(on);
    update();
}

void LoadingState::resizeEvent(QResizeEvent*) {
    spinner_->move((width() - spinner_->width()) / 2, int(top_));
}

void LoadingState::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFont& font = Fonts::status.font();
    const double y = spinner_->isVisible() ? top_ + spinner_->height() + kLoadingTextGap : top_;
    if (QFontMetricsF(font).horizontalAdvance(text_) <= width() - 2 * kLoadingSide) {
        paintLine(p, QRectF(0, y, width(), Fonts::lineHeight(font)), text_, font, Color::ink2,
                  Qt::ElideRight, Qt::AlignHCenter | Qt::AlignVCenter);
        return;
    }
    // A text too long for one line (the Apps screen's empty state) wraps, centred, rather than
    // being cut; in lines of at most 440 points, which read as one short paragraph.
    p.setFont(font);
    p.setPen(Color::ink2);
    const double w = std::min(width() - 2 * kLoadingSide, kLoadingLineMost);
    p.drawText(QRectF((width() - w) / 2, y, w, std::max(0.0, height() - y)),
               Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text_);
}

std::vector<QRectF> gridCells(const std::vector<double>& heights, double width, double minWidth,
                              double spacing, double* height) {
    const int columns = gridColumns(width, minWidth, spacing);
    const double cellWidth = (width - spacing * (columns - 1)) / columns;
    std::vector<QRectF> cells;
    cells.reserve(heights.size());
    double y = 0;
    for (std::size_t row = 0; row * columns < heights.size(); ++row) {
        double tallest = 0;
        for (int c = 0; c < columns && row * columns + c < heights.size(); ++c) {
            const double h = heights[row * columns + c];
            cells.emplace_back(c * (cellWidth + spacing), y, cellWidth, h);
            tallest = std::max(tallest, h);
        }
        y += tallest + spacing;
    }
    if (height) *height = heights.empty() ? 0 : y - spacing;
    return cells;
}

}  // namespace tamrel
