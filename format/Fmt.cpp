#include "format/Fmt.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace tamrel::Fmt {

namespace {

struct Unit {
    const char* name;
    int digits;  // fraction digits shown at most
};

// Powers of 1,000 from KB up; bytes are written as a whole count.
constexpr Unit kUnits[] = {{"KB", 0}, {"MB", 1}, {"GB", 2}, {"TB", 2}, {"PB", 2}, {"EB", 2}};

QString number(double value, int digits) {
    QLocale locale;
    QString text = locale.toString(value, 'f', digits);
    if (digits > 0) {
        const QString point = locale.decimalPoint();
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(point)) text.chop(point.size());
    }
    return text;
}

}  // namespace

QString bytes(uint64_t count) {
    const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (count > limit) count = limit;
    if (count < 1000) {
        return QString::number(count) +
               (count == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
    }
    double scale = 1000.0;
    const int last = static_cast<int>(std::size(kUnits)) - 1;
    for (int i = 0; i <= last; ++i) {
        const double value = static_cast<double>(count) / scale;
        const double factor = std::pow(10.0, kUnits[i].digits);
        const double rounded = std::round(value * factor) / factor;
        if (rounded < 1000.0 || i == last) {
            return number(rounded, kUnits[i].digits) + QLatin1Char(' ') +
                   QLatin1String(kUnits[i].name);
        }
        scale *= 1000.0;
    }
    return {};  // not reached: the last unit always returns
}

SplitBytes splitText(const QString& text) {
    const qsizetype space = text.lastIndexOf(QLatin1Char(' '));
    if (space < 0) return {text, QString()};
    return {text.left(space), text.mid(space + 1)};
}

SplitBytes split(uint64_t count) {
    return splitText(bytes(count));
}

QString ageSeconds(int64_t s) {
    constexpr int64_t day = 86'400;
    if (s < day) return QStringLiteral("today");
    const int64_t n = s / day;
    if (n == 1) return QStringLiteral("yesterday");
    if (n <= 29) return QString::number(n) + QStringLiteral(" days ago");
    if (n <= 59) return QStringLiteral("a month ago");
    if (n <= 364) return QString::number(n / 30) + QStringLiteral(" months ago");
    if (n <= 729) return QStringLiteral("a year ago");
    return QString::number(n / 365) + QStringLiteral(" years ago");
}

QString age(const QDateTime& date, const QDateTime& now) {
    return ageSeconds(date.secsTo(now));
}

QString files(int64_t count) {
    if (count == 1) return QStringLiteral("1 file");
    return QLocale().toString(static_cast<qlonglong>(count)) + QStringLiteral(" files");
}

}  // namespace tamrel::Fmt
