#pragma once

#include <QPixmap>
#include <QWidget>
#include <optional>
#include <string>

#include "model/app/AppModel.h"

namespace tamrel {

class KeyButton;

// A value that closes 1 − e^(−5·dt) of its gap to a target per frame; the first step only
// records the time, and a pause longer than 0.1 s counts as 0.1 s.
struct Eased {
    double value = 0;
    std::optional<double> last;  // seconds
    double step(double target, double at);
};

// The name of the place being read: "/" is the volume listed at "/" (else "Computer"), the home
// folder is "Home", anything else its last path component (shown escaped).
QString placeName(const std::string& path, const Volumes& volumes, const std::string& home);

// "<dirs> folders  ·  <bytes>[  ·  <k> k files/s][  ·  about <n>s left | almost done]": the rate
// piece only when rate > 0 (thousands, truncated), the time left only with a fraction above
// 0.05 after 2 s (t / fraction − t seconds; below 2: "almost done").
QString statsLine(qint64 dirs, std::uint64_t bytes, double rate, std::optional<double> fraction,
                  double t);

// The dial's wedge in degrees (clockwise from the positive x axis): from −90° to
// max(fraction, 0.01)·360° − 90° with a fraction; without one a spinner turning at 160°/s whose
// width breathes between 70° and 130°.
struct Wedge {
    double start;
    double end;
};
Wedge dialWedge(std::optional<double> fraction, double t);

// The percentage under the dial: Int(fraction × 100) and "%".
QString dialPercent(double fraction);

// Draws the dial of side `side` at `topLeft`: the case (cached by the caller in `casePixmap`),
// the face with its wedge and hub, and the percentage when there is a fraction.
void paintDial(QPainter& painter, QPointF topLeft, double side, std::optional<double> fraction,
               double t, QPixmap& casePixmap);

// The Scanning screen: the dial, the live count of files read, where, the statistics line, the
// "Stop" key and one closing sentence. The counters are polled at the display rate only while
// the screen is visible; "Stop", and Escape anywhere in the window, cancel the running scan.
class ScanningView : public QWidget {
    Q_OBJECT
public:
    explicit ScanningView(AppModel& model, QWidget* parent = nullptr);

    KeyButton* stopKey() const { return stop_; }
    // The values of the frame at `seconds` since the screen came on (advances the easing).
    struct Frame {
        std::optional<double> fraction;
        qint64 files;
        qint64 dirs;
        std::uint64_t bytes;
        double rate;
        double t;
    };
    Frame frame(double seconds);
    QString captionText() const;
    bool ticking() const { return timer_.isActive(); }
    // Stops polling and shows `frame` (pictures of the screen at a chosen moment).
    void freeze(const Frame& frame);

protected:
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    class Timeline;

    AppModel& model_;
    Eased eased_;
    Clock::TimePoint start_;  // when the screen was last shown, on the model's clock
    Timer timer_;
    Timeline* timeline_;
    bool frozen_ = false;
    KeyButton* stop_;
};

}  // namespace tamrel
