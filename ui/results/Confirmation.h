#pragma once

#include <QMessageBox>
#include <QPushButton>
#include <QString>

class QWidget;

namespace tamrel {

// A confirmation before things move: a warning box titled `windowTitle` with the destructive
// `action` button and "Cancel", which is the default and the Escape button. It deletes itself
// when closed; the caller sets its texts, connects finished() and opens it (window-modal, no
// nested event loop).
struct Confirmation {
    QMessageBox* box;
    QPushButton* action;
};
Confirmation makeConfirmation(QWidget* parent, const QString& windowTitle, const QString& action);

}  // namespace tamrel
