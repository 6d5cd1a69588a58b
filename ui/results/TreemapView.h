#pragma once

#include <QWidget>

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "model/app/AppModel.h"
#include "ui/results/TreemapGeometry.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel {

// The treemap of the explored folder: a recessed well in which the folder's children are drawn
// as key-shaped tiles with areas by size (at most 90 and one tile for the rest). One painted
// widget with its own hit-testing: a click on a folder tile opens it, on a file tile picks it for
// the Trash or takes it back out; tiles rise under the pointer, sink while pressed and show the
// item menu. Tiles of another index generation than the model's shown one are never acted on.
// Entering another folder fades the old tiles out as the new ones fade and grow in.
//
// From the keyboard (it takes the focus with Tab; a ring marks the tile that has its place, the
// largest to begin with): the arrows move to the nearest tile that way, Home and End to the
// first and last, Enter does what a click does (goes into a folder, picks a file), Space picks
// or unpicks the tile's item, and the Menu key or Shift+F10 opens its item menu. A context menu
// the desktop sends for the keyboard is the ring tile's too, whatever position it gives, and the
// view takes every context menu event, so the window's own menu never opens over it.
class TreemapView : public QWidget {
    Q_OBJECT
public:
    explicit TreemapView(AppModel& model, QWidget* parent = nullptr);

    // Shows `kids` (children of `node` in `index`, largest first). A new folder starts with
    // fresh hover and press state and fades in.
    void setFolder(IndexRef index, NodeId node, NodeIds kids);

    const std::vector<TreemapTile>& tiles() const { return tiles_; }
    // How far tile `id` is in its picked look (0 to 1, may overshoot while moving).
    double pickAmount(std::int64_t id) const;
    // The rectangle the tiles are laid out in: the well less 9 pt on every side.
    QRectF tileArea() const;
    // The node of the tile that has the keyboard's place, if any.
    std::optional<NodeId> focusNode() const;
    // How far the old folder's tiles are still seen while a new folder comes in (1 to 0).
    double leavingOpacity() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Lays the tiles out again; with `animatePick`, tiles whose picked state changed move to
    // their new look on the pick spring.
    void relayout(bool animatePick = false);
    int tileIndexOf(std::int64_t id) const;
    int hitTest(QPointF p) const;
    bool current() const { return index_ && model_.index() == index_; }
    void activate(const TreemapTile& tile);
    int focusIndex() const { return focusId_ ? tileIndexOf(*focusId_) : -1; }
    // The item menu of tile k at `global`; none for the others tile or a generation not shown.
    void openTileMenu(int k, QPoint global);
    // The item menu of the tile with the ring, at its top-left corner; none without one.
    void openRingMenu();
    // The face of a tile at rest.
    static QRectF faceRect(const TreemapTile& tile);
    void paintFocus(QPainter& painter) const;
    // Draws the well and the tiles at rest into their pictures when they are out of date.
    void ensurePictures();
    // `lift` 0 to 1 raises the face 1.5 pt; `press` 0 to 1 sinks it to one point above its edge;
    // `pick` 0 to 1 goes from the tile's own look to the picked one (below 0: as tile.picked).
    void paintTile(QPainter& painter, const TreemapTile& tile, double lift, double press,
                   double pick = -1) const;

    // The springs of one tile's rise under the pointer, its press and its change to or from the
    // picked look; kept while any moves or is away from rest.
    struct Motion {
        SpringAnimator lift{0};
        SpringAnimator press{0};
        std::optional<SpringAnimator> pick;  // only while a pick change is shown
    };
    Motion& motionOf(std::int64_t id);
    void setHover(std::optional<std::int64_t> id);
    void setPressed(std::optional<std::int64_t> id);

    AppModel& model_;
    IndexRef index_;
    NodeId node_ = 0;
    NodeIds kids_;
    std::vector<TreemapTile> tiles_;
    std::optional<std::int64_t> hoverId_;    // the tile under the pointer (-1: the others tile)
    std::optional<std::int64_t> pressedId_;  // the tile being pressed
    SpringAnimator appear_{1.0};  // 0 -> 1 as a new folder's tiles come in
    QPixmap leaving_;             // the old folder's tiles, fading out meanwhile
    std::optional<std::int64_t> focusId_;  // the tile with the keyboard's place
    // After a change of the index's content (a move to the Trash, a refresh) the tiles glide
    // from where they were (`from_`, by id) to their new places as `move_` goes from 0 to 1.
    int revision_ = -1;
    std::unordered_map<std::int64_t, QRectF> from_;
    SpringAnimator move_{1.0};
    std::unordered_map<std::int64_t, std::unique_ptr<Motion>> motion_;
    // The empty well, every tile at rest, and the two together; drawn again only when the tiles
    // change, so hover and press repaint one or two tiles over them.
    QPixmap well_;
    QPixmap layer_;
    QPixmap composed_;
    bool layerValid_ = false;
};

}  // namespace tamrel
