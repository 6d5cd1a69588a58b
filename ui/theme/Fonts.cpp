#include "ui/theme/Fonts.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <map>
#include <tuple>

namespace tamrel::Fonts {

namespace {

// Points of the screens are logical pixels; QFont sizes in typographic points scale with the
// logical DPI, so the size is converted once here.
double pointSizeFor(double pixels) {
    double dpi = 96.0;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        dpi = screen->logicalDotsPerInchY();
    if (dpi <= 0) dpi = 96.0;
    return pixels * 72.0 / dpi;
}

QFont::Weight qtWeight(Weight w) {
    switch (w) {
        case Weight::regular:
            return QFont::Normal;
        case Weight::medium:
            return QFont::Medium;
        case Weight::semibold:
            return QFont::DemiBold;
        case Weight::bold:
            return QFont::Bold;
        case Weight::heavy:
            return QFont::ExtraBold;
    }
    return QFont::Normal;
}

QFont make(const char* family, double size, Weight weight, double tracking) {
    QFont font(QString::fromLatin1(family));
    font.setPointSizeF(pointSizeFor(size));
    font.setWeight(qtWeight(weight));
    font.setHintingPreference(QFont::PreferNoHinting);
    if (tracking != 0) font.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    return font;
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

double digitCell(const QFontMetricsF& fm) {
    double cell = 0;
    for (char d = '0'; d <= '9'; ++d)
        cell = std::max(cell, fm.horizontalAdvance(QLatin1Char(d)));
    return cell;
}

}  // namespace

QStringList missingFamilies() {
    const QStringList have = QFontDatabase::families();
    QStringList missing;
    for (const char* family : {kSystemFamily, kMonoFamily, kSymbolFamily}) {
        if (!have.contains(QString::fromLatin1(family), Qt::CaseInsensitive)) {
            missing << QString::fromLatin1(family);
        }
    }
    return missing;
}

QString missingMessage() {
    const QStringList missing = missingFamilies();
    if (missing.isEmpty()) return {};
    return QStringLiteral(
               "Tamrel draws its screens with the fonts %1, which are not installed. "
               "Install the Debian packages fonts-inter, fonts-jetbrains-mono and "
               "fonts-material-design-icons-iconfont (scripts/build.sh does).")
        .arg(missing.join(QStringLiteral(", ")));
}

QFont system(double size, Weight weight, double tracking) {
    return make(kSystemFamily, size, weight, tracking);
}

QFont mono(double size, Weight weight, double tracking) {
    return make(kMonoFamily, size, weight, tracking);
}

QFont symbol(double size) {
    // A Material icon fills about five sixths of its em square; a symbol beside text of `size`
    // points matches the text's height at 1.2 times that size.
    QFont font = make(kSymbolFamily, size * 1.2, Weight::regular, 0);
    font.setStyleStrategy(QFont::NoFontMerging);
    return font;
}

double lineHeight(const QFont& font) {
    const QFontMetricsF fm(font);
    return fm.ascent() + fm.descent();
}

const QFont& Role::font() const {
    using Key = std::tuple<Face, double, Weight, double>;
    static std::map<Key, QFont> made;
    const Key key{face, size, weight, tracking};
    auto it = made.find(key);
    if (it == made.end())
        it = made.emplace(key, face == Face::mono ? mono(size, weight, tracking)
                                                  : system(size, weight, tracking))
                 .first;
    return it->second;
}

double Role::lineHeight() const {
    return Fonts::lineHeight(font());
}

double tabularWidth(const QFont& font, const QString& text) {
    QFont plain = font;
    const double tracking = font.letterSpacing();
    plain.setLetterSpacing(QFont::AbsoluteSpacing, 0);
    const QFontMetricsF fm(plain);
    const double cell = digitCell(fm);
    double width = 0;
    for (QChar c : text)
        width += (isDigit(c) ? cell : fm.horizontalAdvance(c)) + tracking;
    return width;
}

QString elidedTabular(const QFont& font, const QString& text, double width) {
    if (tabularWidth(font, text) <= width) return text;
    const QString ellipsis(QChar(0x2026));
    QString kept = text;
    while (!kept.isEmpty() && tabularWidth(font, kept.trimmed() + ellipsis) > width) kept.chop(1);
    return kept.trimmed() + ellipsis;
}

double drawTabular(QPainter& painter, QPointF origin, const QFont& font, const QString& text) {
    QFont plain = font;
    const double tracking = font.letterSpacing();
    plain.setLetterSpacing(QFont::AbsoluteSpacing, 0);
    const QFontMetricsF fm(plain);
    const double cell = digitCell(fm);
    painter.save();
    painter.setFont(plain);
    double x = origin.x();
    for (QChar c : text) {
        const double advance = fm.horizontalAdvance(c);
        if (isDigit(c)) {
            painter.drawText(QPointF(x + (cell - advance) / 2, origin.y()), QString(c));
            x += cell + tracking;
        } else {
            painter.drawText(QPointF(x, origin.y()), QString(c));
            x += advance + tracking;
        }
    }
    painter.restore();
    return x - origin.x();
}

}  // namespace tamrel::Fonts
