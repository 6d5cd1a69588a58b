#include "ui/theme/ShownText.h"

namespace tamrel {

namespace {

bool mustEscape(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;       // C0, DEL, C1 controls
    if (c == 0x061C || c == 0x200E || c == 0x200F) return true;  // marks
    if (c >= 0x202A && c <= 0x202E) return true;                 // embeddings and overrides
    if (c >= 0x2066 && c <= 0x2069) return true;                 // isolates
    return false;
}

}  // namespace

QString shownText(const QString& text) {
    bool clean = true;
    for (QChar c : text) {
        if (mustEscape(c.unicode())) {
            clean = false;
            break;
        }
    }
    if (clean) return text;
    QString out;
    out.reserve(text.size() + 16);
    for (QChar c : text) {
        if (mustEscape(c.unicode())) {
            out += QStringLiteral("\\u{") +
                   QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0')) +
                   QLatin1Char('}');
        } else {
            out += c;
        }
    }
    return out;
}

QString shownPath(const std::string& bytes) {
    return shownText(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace tamrel
