#pragma once

#include <QPointF>
#include <QString>
#include <QWidget>
#include <cstdint>

class QPainter;

namespace tamrel {

// One of the display pieces the screens are built from, with its plain painting (or plain
// geometry); none touches the model. Main thread only.
//
// The icon tile: a key of side `size` (radius size × 0.28, face tint(hex, 0.45), edge
// shade(hex, 0.05), depth 2) with the symbol at size × 0.42 in shade(hex, 0.55). `topLeft` is
// the tile's corner; the edge takes 2 points below it.
inline constexpr double kGlyphDepth = 2;
void paintGlyph(QPainter& painter, QPointF topLeft, const QString& symbol, std::uint32_t hex,
                double size);

class Glyph : public QWidget {
    Q_OBJECT
public:
    Glyph(const QString& symbol, std::uint32_t hex, double size, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString symbol_;
    std::uint32_t hex_;
    double size_;
};

}  // namespace tamrel
