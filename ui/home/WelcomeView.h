#pragma once

#include <QList>
#include <QRectF>
#include <QUrl>
#include <QVariantAnimation>
#include <QWidget>
#include <optional>
#include <string>

#include "model/app/AppModel.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel {

class KeyButton;
class ToastView;

// The disk the Welcome card shows: the volume at "/" wherever it is listed, else the first
// one, else none.
std::optional<Volume> shownDisk(const Volumes& volumes);

// The texts and numbers of the Welcome card for one disk.
struct WelcomeCard {
    QString name;      // the disk's name, upper-cased
    QString number;    // the free space's number part
    QString unitFree;  // "<unit> FREE"
    QString usedLine;  // "<used> USED OF <total>", upper-cased
    double fraction;   // used / max(total, 1)
};
WelcomeCard welcomeCard(const Volume& disk);

// Where the card's lines lie, in the card's own coordinates: 500 points wide, padded 26, the
// name line, the free read-out, the 14-point meter and the used line 14 points apart.
struct WelcomeCardLayout {
    QSizeF size;
    double nameTop;
    double numberTop;
    QRectF meter;
    double usedTop;
};
WelcomeCardLayout welcomeCardLayout();

// What a drop opens: the first dropped URL when it is a local folder, as its exact path bytes;
// nothing for a file, a remote URL, a folder that does not exist, or no URL at all. Only the
// first item of a multi-item drop is looked at.
std::optional<std::string> dropTarget(const QList<QUrl>& urls);

// The exact path bytes of a local file URL (percent-encoded bytes decoded as bytes, so a name
// that is not valid UTF-8 survives).
std::string localPathBytes(const QUrl& url);

// The drop hint and its colour.
QString dropHint(bool dropping);

// The Welcome screen: the dark card of one disk, the headline and introduction, "Look inside
// <disk>" and "Just my Home", and the drop area over the whole screen. Every way out goes
// through AppModel::scan(path, false). A toast the model shows (a scan that failed, a disk that
// went away) appears at its top as on the results screen.
class WelcomeView : public QWidget {
    Q_OBJECT
public:
    explicit WelcomeView(AppModel& model, QWidget* parent = nullptr);

    bool dropping() const { return dropping_; }
    KeyButton* lookInsideKey() const { return lookInside_; }
    KeyButton* homeKey() const { return home_; }
    // The card (null-free; hidden without a disk) and what its meter shows now.
    QWidget* card() const;
    double cardShownFraction() const;
    WelcomeCard cardTexts() const;
    QString hintText() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void dragEnterEvent(QDragEnterEvent*) override;
    void dragLeaveEvent(QDragLeaveEvent*) override;
    void dropEvent(QDropEvent*) override;

private:
    class Card;
    class Hint;

    void refresh();
    void setDropping(bool on);

    AppModel& model_;
    bool dropping_ = false;
    Card* card_;
    KeyButton* lookInside_;
    KeyButton* home_;
    Hint* hint_;
    ToastView* toast_;
    std::optional<Volume> disk_;
};

}  // namespace tamrel
