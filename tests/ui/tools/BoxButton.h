#pragma once

#include <QAbstractButton>
#include <QMessageBox>
#include <QString>

namespace tamrel::test {

// The button of a confirmation whose text is `text`, or null.
inline QAbstractButton* boxButton(const QMessageBox& box, const QString& text) {
    for (QAbstractButton* b : box.buttons())
        if (b->text() == text) return b;
    return nullptr;
}

}  // namespace tamrel::test
