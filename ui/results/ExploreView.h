#pragma once

#include <QWidget>

#include <optional>

#include "model/app/AppModel.h"
#include "ui/results/KindBarGeometry.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/EasedValue.h"
#include "ui/theme/SizeText.h"

namespace tamrel {

class ItemList;
class TreemapView;

// The bytes of the explored folder by file kind: a 6 pt bar of coloured segments and a legend
// of up to six kinds in two columns. Hovering a segment or a legend entry highlights that kind
// in both.
class KindBar : public QWidget {
    Q_OBJECT
public:
    explicit KindBar(QWidget* parent = nullptr);
    void setParts(KindBytes parts);
    const KindBytes& parts() const { return parts_; }
    std::optional<FileKind> hovered() const { return hovered_; }
    // The opacity a bar segment of `kind` is drawn at now: 1, or 0.3 while another kind is
    // hovered, eased over 0.15 s when the hovered kind changes.
    double segmentOpacity(FileKind kind) const;
    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The legend entry's rectangle for entry k of `count`, in a widget `width` wide.
    QRectF legendRect(int k, double width) const;
    double legendRowHeight() const;
    void setHovered(std::optional<FileKind> kind);

    KindBytes parts_;
    std::optional<FileKind> hovered_;
    std::vector<std::pair<FileKind, double>> fadeFrom_;  // segment opacities when hover changed
    EasedValue fade_{1};
};

// The card above the list: the folder's size, its file count, the scan time on the root, and
// the kind bar.
class FolderSummary : public QWidget {
    Q_OBJECT
public:
    explicit FolderSummary(AppModel& model, QWidget* parent = nullptr);
    void setFolder(IndexRef index, NodeId node);
    KindBar& kindBar() { return *bar_; }
    // The folder's size, rolling its digits when an animated step of the model changes it.
    const SizeTextMotion& sizeMotion() const { return size_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    AppModel& model_;
    IndexRef index_;
    NodeId node_ = 0;
    KindBar* bar_;
    SizeTextMotion size_{0};
};

// The Explore tab: the folder summary above the folder's list (its 400 largest children with a
// footer for the rest) on the left, the treemap of all its children on the right.
class ExploreView : public QWidget {
    Q_OBJECT
public:
    explicit ExploreView(AppModel& model, QWidget* parent = nullptr);

    FolderSummary& summary() { return *summary_; }
    ItemList& list() { return *list_; }
    TreemapView& treemap() { return *treemap_; }

    // Reads the model again: the folder, its children, the rows and the tiles.
    void refresh();

private:
    AppModel& model_;
    FolderSummary* summary_;
    ItemList* list_;
    TreemapView* treemap_;
    QWidget* left_;
    // The children of the folder shown, the first 400 largest first, kept while the index, the
    // folder and the revision stay (a pick changes none of them, and sorting a wide folder takes
    // a millisecond or more).
    IndexRef kidsIndex_;
    NodeId kidsNode_ = 0;
    int kidsRevision_ = -1;
    NodeIds kids_;
};

}  // namespace tamrel
