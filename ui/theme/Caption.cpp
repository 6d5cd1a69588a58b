#include "ui/theme/Caption.h"

#include <QPainter>
#include <cmath>

#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"

namespace tamrel {

QString captionText(const QString& text) {
    if (text.isEmpty()) return text;
    // The first character as the user sees it: a surrogate pair stays whole.
    const int first = text.at(0).isHighSurrogate() && text.size() > 1 ? 2 : 1;
    return text.left(first).toUpper() + text.mid(first);
}

Caption::Caption(const QString& text, QWidget* parent) : QWidget(parent), text_(captionText(text)) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize Caption::sizeHint() const {
    const QFontMetricsF fm(Fonts::caption.font());
    return QSize(static_cast<int>(std::ceil(fm.horizontalAdvance(text_))),
                 static_cast<int>(std::ceil(fm.ascent() + fm.descent())));
}

void Caption::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFont& f = Fonts::caption.font();
    p.setFont(f);
    p.setPen(Color::ink2);
    p.drawText(QPointF(0, QFontMetricsF(f).ascent()), text_);
}

}  // namespace tamrel
