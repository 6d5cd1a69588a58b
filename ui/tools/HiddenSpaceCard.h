#pragma once

#include <QWidget>

#include <vector>

#include "model/app/AppModel.h"
#include "ui/tools/ToolsText.h"

namespace tamrel {

// Space that no folder accounts for: purgeable space, local snapshots (neither on Linux),
// unseen space and the folders the scan could not read. There is no settings pane that grants
// access on this system, so the unreadable row has no "Allow…" key (as the sidebar's access
// box). The screen leaves the card out when it has no row.
class HiddenSpaceCard : public QWidget {
    Q_OBJECT
public:
    HiddenSpaceCard(const SystemDataReport& report, RuleSet rules, QWidget* parent = nullptr);
    const std::vector<HiddenRow>& rows() const { return rows_; }
    const QString& title() const { return title_; }
    double heightFor(double width) const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString title_;
    std::vector<HiddenRow> rows_;
};

}  // namespace tamrel
