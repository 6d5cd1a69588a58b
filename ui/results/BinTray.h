#pragma once

#include <QWidget>

#include <chrono>

#include "model/app/AppModel.h"
#include "ui/theme/KeyboardFocus.h"
#include "ui/theme/SizeText.h"
#include "ui/theme/SpringAnimator.h"

class QAbstractButton;

namespace tamrel {

class BinList;

// The dark bar over the foot of the results screen while the Trash basket holds anything: how
// many items are picked and what they weigh (a click opens the list of them), "Clear", and
// "Move to Trash", which asks for the confirmation. Hidden while the basket is empty. The
// counter takes the focus with Tab before the two keys; Space or Enter opens the list (BinList).
class BinTray : public QWidget, public FocusPart {
    Q_OBJECT
public:
    explicit BinTray(AppModel& model, QWidget* parent = nullptr);

    QAbstractButton& clearKey() { return *clear_; }
    QAbstractButton& trashKey() { return *trash_; }
    QRectF counterRect() const;
    const SizeTextMotion& sizeMotion() const { return size_; }
    // The popup list of picked items while it is open, else null.
    BinList* list() const { return list_; }
    void toggleList();
    QSize sizeHint() const override;
    QRect focusPart() const override { return counterRect().toAlignedRect(); }
    // Puts the tray at the foot of its parent, centred, 20 pt above the edge (lower while it
    // comes in or leaves).
    void place();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    double counterWidth() const;

    AppModel& model_;
    // 1 while present; it comes in from the bottom edge and leaves to it, fading.
    SpringAnimator presence_{0};
    // The picked size, rolling its digits when the basket changes in an animated step.
    SizeTextMotion size_{0};
    QAbstractButton* clear_;
    QAbstractButton* trash_;
    BinList* list_ = nullptr;
};

// The message card at the top of the results screen: a green or red light, the toast's title
// and detail. It clears the model's toast 3.2 s after it appeared, and only when that same toast
// (by id) is still shown; a newer toast starts its own 3.2 s.
// A toast's card as laid out when it may be at most `maxWidth` points wide: its size, the title
// (elided at its end when too long) and the detail wrapped onto at most three lines, the last
// elided. File names in the detail show their control and bidirectional characters escaped.
struct ToastCard {
    QSizeF size;
    QString title;
    QStringList detail;
};
ToastCard toastCard(const Toast& toast, double maxWidth);

class ToastView : public QWidget {
    Q_OBJECT
public:
    // A toast stays Toasts::lifetime on the model's clock.
    explicit ToastView(AppModel& model, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // Puts the view at the top of its parent, centred, its cards 12 pt below the edge.
    void place();
    // How many cards are on screen now, coming, shown or leaving: the toast's, and while it
    // leaves, the one it replaced.
    int cardsDrawn() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void settle();
    // The widest a card may be: the results screen less its side margins.
    double maxCardWidth() const;

    AppModel& model_;
    // 1 while shown; a card comes in from the top edge and leaves to it, fading.
    SpringAnimator presence_{0};
    OptionalToast leaving_;  // the toast on the card, kept while the card leaves
    // The card of the toast that a newer one replaced, while it leaves.
    SpringAnimator replacedPresence_{0};
    OptionalToast replaced_;
    Timer dismiss_;
    QUuid shownId_;
};

}  // namespace tamrel
