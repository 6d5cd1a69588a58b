#pragma once

#include <QWidget>

namespace tamrel {

class LED;

// The card Clean up shows when the plan is empty: a lit LED over "Nothing to clean right now"
// and what will show up here.
class EmptyCleanCard : public QWidget {
    Q_OBJECT
public:
    explicit EmptyCleanCard(QWidget* parent = nullptr);
    static double cardHeight();

protected:
    void resizeEvent(QResizeEvent*) override;
    void paintEvent(QPaintEvent*) override;

private:
    LED* led_;
};

}  // namespace tamrel
