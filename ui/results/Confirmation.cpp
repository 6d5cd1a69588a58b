#include "ui/results/Confirmation.h"

#include <QMessageBox>
#include <QPushButton>

#include "ui/tools/ToolsBusy.h"

namespace tamrel {

Confirmation::Confirmation(QWidget* parent, AppModel& model, const Property<bool>& flag,
                           std::function<void(bool)> setFlag, Texts texts,
                           std::function<void()> confirmed)
    : QObject(parent),
      parent_(parent),
      model_(model),
      flag_(flag),
      setFlag_(std::move(setFlag)),
      texts_(std::move(texts)),
      confirmed_(std::move(confirmed)) {
    connect(&flag_, &PropertyNotifier::changed, this, &Confirmation::follow);
    connect(&model_.removalBusy, &PropertyNotifier::changed, this, [this] {
        if (box_) action_->setEnabled(!model_.removalBusy());
    });
    follow();
}

void Confirmation::refresh() {
    if (!box_) return;
    box_->setText(texts_.title());
    box_->setInformativeText(texts_.message());
}

void Confirmation::follow() {
    if (!flag_()) {
        if (box_) box_->close();
        return;
    }
    if (box_) return;
    auto* box = new QMessageBox(parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(texts_.windowTitle);
    QPushButton* action = box->addButton(texts_.action, QMessageBox::DestructiveRole);
    QPushButton* cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    connect(box, &QMessageBox::finished, this, [this, box, action] {
        if (box->clickedButton() == action) confirmed_();
        setFlag_(false);
    });
    box_ = box;
    action_ = action;
    action_->setEnabled(!model_.removalBusy());
    refresh();
    emit opened();
    box->open();
}

}  // namespace tamrel
