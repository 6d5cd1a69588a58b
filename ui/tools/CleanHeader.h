#pragma once

#include <QUrl>
#include <QWidget>

#include <functional>

#include "model/app/AppModel.h"
#include "ui/theme/SizeText.h"

namespace tamrel {

class KeyButton;
class TextButton;

// Opens the Trash in the file manager: the desktop's trash:/// location through `open`, else the
// home Trash's "files" folder. Whether either was opened.
bool openTrash(const std::function<bool(const QUrl&)>& open);

// The summary card of Clean up: the bytes the plan found, the ticked count and size on a
// display, the Clean key (off while nothing is ticked or a move runs) and, when the Trash holds
// more than 1 MiB, a note with "Open Trash" (a failure toast where nothing can open it).
class CleanHeader : public QWidget {
    Q_OBJECT
public:
    explicit CleanHeader(AppModel& model, QWidget* parent = nullptr);
    KeyButton* cleanKey() const { return clean_; }
    TextButton* openTrashKey() const { return openTrash_; }
    // How the Trash is opened (tests record it); by default QDesktopServices.
    void setUrlOpener(std::function<bool(const QUrl&)> open) { opener_ = std::move(open); }
    double heightFor() const;
    void refresh();
    // The ticked size on the display, rolling its digits when an animated step changes it.
    const SizeTextMotion& tickedMotion() const { return ticked_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    AppModel& model_;
    KeyButton* clean_;
    TextButton* openTrash_;
    std::function<bool(const QUrl&)> opener_;
    // What the plan found and what is ticked, summed over thousands of items at refresh() and
    // not at every paint; the ticked bytes are the read-out's.
    std::uint64_t found_ = 0;
    std::size_t tickedCount_ = 0;
    SizeTextMotion ticked_{0};
};

}  // namespace tamrel
