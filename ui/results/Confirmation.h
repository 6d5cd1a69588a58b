#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

#include "model/app/AppModel.h"

class QPushButton;
class QWidget;

namespace tamrel {

// A confirmation before things move, bound both ways to one flag of the model (confirmTrash,
// confirmClean, confirmUninstall): a warning box titled `windowTitle` with the destructive
// `action` button and "Cancel", which is the default and the Escape button. It opens when the
// flag is set and closes when it is cleared; when answered it clears the flag, after running
// `confirmed` if the action was pressed. The action is off while a move runs (removalBusy), so it
// never starts a second one. The title and the message are read when it opens and again at each
// refresh(), so they always name what the action would move now.
//
// The box is window-modal, shown with open() (no nested event loop), and deletes itself when
// closed. A child of `parent`; main thread only.
class Confirmation : public QObject {
    Q_OBJECT
public:
    struct Texts {
        QString windowTitle;
        QString action;
        std::function<QString()> title;
        std::function<QString()> message;
    };
    Confirmation(QWidget* parent, AppModel& model, const Property<bool>& flag,
                 std::function<void(bool)> setFlag, Texts texts, std::function<void()> confirmed);

    // The open box, or null.
    QMessageBox* box() const { return box_; }
    // Reads the title and the message again.
    void refresh();

signals:
    // The box has just opened.
    void opened();

private:
    void follow();

    QWidget* parent_;
    AppModel& model_;
    const Property<bool>& flag_;
    std::function<void(bool)> setFlag_;
    Texts texts_;
    std::function<void()> confirmed_;
    QPointer<QMessageBox> box_;
    QPushButton* action_ = nullptr;
};

}  // namespace tamrel
