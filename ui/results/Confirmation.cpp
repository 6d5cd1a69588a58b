#include "ui/results/Confirmation.h"

namespace tamrel {

Confirmation makeConfirmation(QWidget* parent, const QString& windowTitle, const QString& action) {
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(windowTitle);
    QPushButton* go = box->addButton(action, QMessageBox::DestructiveRole);
    QPushButton* cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    return {box, go};
}

}  // namespace tamrel
