#pragma once

#include <QFontMetricsF>
#include <QLineF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <span>
#include <vector>

#include "core/base/RuleSet.h"
#include "core/index/DiskIndex.h"

namespace tamrel {

// What the treemap draws, as plain values: the tiles of a folder, each tile's geometry and
// label rules, its colour, its help text and which tile lies under a point. The treemap widget
// paints from these and nothing else.

// At most this many children get a tile of their own; the rest share the others tile.
inline constexpr int treemapTileCap = 90;

struct TreemapTile {
    std::int64_t id = -1;          // node id, or -1 for the others tile
    QRectF rect;                   // in the treemap's coordinates
    int others = 0;                // children the others tile stands for (0 for a node tile)
    std::uint64_t othersSize = 0;  // their bytes (0 for a node tile)
    bool picked = false;           // the node or an ancestor is in the basket

    bool isOthers() const { return id < 0; }
    NodeId node() const { return static_cast<NodeId>(id); }
};

// The tiles of `kids` (a folder's children of `index`, largest first) in `r`: children of size
// 0 are left out entirely; past the first 90 the rest become one others tile at the end. No
// tiles when nothing has a size or `r` is 4 pt or less on a side. `picked` is left false; the
// caller marks it from the basket (markPicked).
std::vector<TreemapTile> treemapTiles(const DiskIndex& index, std::span<const NodeId> kids,
                                      const QRectF& r);

// Sets `picked` on every node tile that is a basket entry or lies inside one.
void markPicked(std::vector<TreemapTile>& tiles, const DiskIndex& index,
                std::span<const NodeId> basket);

// A tile's geometry and which parts of its label it shows.
struct TileLook {
    QRectF inner;        // the rect less a 3 pt gutter on every side
    double m = 0;        // the smaller side of inner
    double radius = 0;   // corner radius
    double depth = 0;    // how far the key's edge shows below its face
    bool label = false;  // room for a title at all
    bool big = false;    // larger type
    int titleLines = 1;  // 2 when the tile is tall enough
    bool sizeLine = false;
    bool badge = false;  // the check badge of a picked tile
};
TileLook tileLook(const TreemapTile& tile);

// The tile's colour (0xRRGGBB) and whether it is drawn as a folder: grey for the others tile, a
// folder's name colour, otherwise the colour of the file's kind (FileKind::ofNode() with
// `rules`).
struct TileColour {
    std::uint32_t hex = 0;
    bool folder = false;
};
TileColour tileColour(const DiskIndex& index, const TreemapTile& tile, RuleSet rules);

// The title ("<name>" or "<n> more") and the size line of a tile's label.
QString tileTitle(const DiskIndex& index, const TreemapTile& tile);
QString tileSizeText(const DiskIndex& index, const TreemapTile& tile);
// The lines a tile's title is drawn in, `width` points wide in the font of `fm`, at most
// `lines` of them: the title whole when it fits on one line. A longer one is broken at blanks
// only, each line holding the whole words that fit and the last what is left, elided at its end;
// a word or path that does not fit on a line of its own is elided ("Docum…", "/var/t…"), never
// broken, so a title without a blank that does not fit takes one elided line.
QStringList tileTitleLines(const QString& title, const QFontMetricsF& fm, double width, int lines);
// The tooltip: "<n> smaller items", "<name> · <size>", and for a file a second line
// "Click to pick it for the Trash".
QString tileHelp(const DiskIndex& index, const TreemapTile& tile);

// The tile under `p`, by its inner rect (gutters hit nothing), or -1. The lifted tile, drawn
// over its neighbours, is asked first.
int tileAt(std::span<const TreemapTile> tiles, QPointF p, int lifted = -1);

// The tile the keyboard's place moves to from tile `from` for an arrow key (Qt::Key_Left,
// Right, Up or Down), as in a file manager's icon grid: of the node tiles that lie beyond
// `from`'s edge that way (for Right, a left edge at or past its right edge, a point of slack
// for rounding; the others tile is no control), those that share some of `from`'s span across
// the move come first, the nearest of them and then the one sharing the most; only when none
// does, the nearest of the rest (by the gap between the rects). `from` itself when no tile lies
// that way or the key is no arrow. From -1, the first node tile. -1 without node tiles.
int tileToward(std::span<const TreemapTile> tiles, int from, int arrowKey);

// Parallel 45-degree lines rising to the right, 10 pt apart, covering `r`; clipped by the caller.
std::vector<QLineF> stripeLines(const QRectF& r);

}  // namespace tamrel
