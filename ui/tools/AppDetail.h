#pragma once

#include <QWidget>

#include "model/app/AppModel.h"
#include "ui/theme/SizeText.h"

class QScrollArea;

namespace tamrel {

class KeyButton;
class LeftoverList;

// The detail card of one application: header with icon, name, identity line, badges and the
// bytes to remove; three facts; the leftovers by kind; the footer with its notes, "Show in File
// Manager" and "Uninstall" (off while busy or while the inventory is not of the shown index).
class AppDetail : public QWidget {
    Q_OBJECT
public:
    AppDetail(AppModel& model, const InstalledApp& app, IndexRef index, QWidget* parent = nullptr);
    const InstalledApp& app() const { return app_; }
    KeyButton* uninstallKey() const { return uninstall_; }
    KeyButton* revealKey() const { return reveal_; }
    LeftoverList& leftovers() { return *leftovers_; }
    // Bytes the read-out shows: the application's own plus its ticked leftovers.
    std::uint64_t toRemove() const;
    // The "to remove" read-out, rolling its digits when an animated step changes it.
    const SizeTextMotion& removeMotion() const { return remove_; }
    QString footnote() const;
    bool showsPasswordNote() const;
    void refresh();
    // Whether the application runs, as last found (off the main thread) by the screen.
    void setRunning(bool running);
    bool running() const { return running_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    double badgeHeight() const;
    // The name, the identity line and the badges, one under the other.
    double headerTextsHeight() const;
    double headerHeight() const;
    double factsHeight() const;
    double footerHeight() const;
    // Lines the footnote wraps to beside (or above) the footer keys (at most three).
    int footnoteLines() const;
    // The note goes above the keys when the detail is too narrow for it beside them.
    bool footerStacked() const;
    double noteWidth() const;
    // The room the note would have beside the keys.
    double noteBesideKeys() const;

    AppModel& model_;
    InstalledApp app_;
    IndexRef index_;
    bool running_ = false;
    QScrollArea* scroll_;
    LeftoverList* leftovers_;
    KeyButton* reveal_;
    KeyButton* uninstall_;
    SizeTextMotion remove_;
};

}  // namespace tamrel
