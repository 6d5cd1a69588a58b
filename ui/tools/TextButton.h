#pragma once

#include <QAbstractButton>
#include "ui/theme/Keys.h"

namespace tamrel {

// A text button without chrome (12 pt semibold, tangerine): "Open Trash". Reached with Tab; its
// focus ring needs kPadH and kPadV of room around the text, inside the button.
class TextButton : public KeyControl {
    Q_OBJECT
public:
    explicit TextButton(const QString& text, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    static constexpr int kPadH = 6;
    static constexpr int kPadV = 3;

protected:
    void paintEvent(QPaintEvent*) override;
};

}  // namespace tamrel
