#include "ui/results/TreemapGeometry.h"

#include <algorithm>
#include <cmath>

#include "core/query/FileKind.h"
#include "format/Fmt.h"
#include "ui/results/KindBarGeometry.h"
#include "ui/results/ResultsText.h"
#include "ui/results/Squarify.h"
#include "ui/results/TreemapMetrics.h"
#include "ui/theme/Palette.h"
#include "ui/theme/ShownText.h"

namespace tamrel {
namespace {

// A tile's rectangle less its gutter.
QRectF tileInner(const QRectF& rect) {
    return rect.adjusted(kTileGutter, kTileGutter, -kTileGutter, -kTileGutter);
}

}  // namespace

std::vector<TreemapTile> treemapTiles(const DiskIndex& index, std::span<const NodeId> kids,
                                      const QRectF& r) {
    // One pass: the first 90 sized children keep their ids, the rest are only counted and summed.
    std::vector<NodeId> shown;
    std::vector<double> sizes;
    shown.reserve(std::min<std::size_t>(kids.size(), treemapTileCap));
    sizes.reserve(treemapTileCap + 1);
    int rest = 0;
    std::uint64_t othersSize = 0;
    for (NodeId id : kids) {
        const std::uint64_t size = index.size(id);
        if (size == 0) continue;
        if (shown.size() < std::size_t(treemapTileCap)) {
            shown.push_back(id);
            sizes.push_back(double(size));
        } else {
            ++rest;
            othersSize += size;
        }
    }
    if (othersSize > 0) sizes.push_back(double(othersSize));
    if (sizes.empty() || !(r.width() > kTreemapLeastSide) || !(r.height() > kTreemapLeastSide))
        return {};

    const std::vector<QRectF> rects = Squarify::layout(sizes, r);
    std::vector<TreemapTile> tiles;
    tiles.reserve(rects.size());
    for (std::size_t k = 0; k < rects.size(); ++k) {
        TreemapTile t;
        t.rect = rects[k];
        if (k < shown.size()) {
            t.id = shown[k];
        } else {
            t.others = rest;
            t.othersSize = othersSize;
        }
        tiles.push_back(t);
    }
    return tiles;
}

void markPicked(std::vector<TreemapTile>& tiles, const DiskIndex& index,
                std::span<const NodeId> basket) {
    for (TreemapTile& t : tiles) {
        t.picked = false;
        if (t.isOthers()) continue;
        for (NodeId b : basket) {
            if (b >= index.count()) continue;
            if (b == t.node() || index.isAncestor(b, t.node())) {
                t.picked = true;
                break;
            }
        }
    }
}

TileLook tileLook(const TreemapTile& tile) {
    TileLook look;
    look.inner = tileInner(tile.rect);
    const double w = look.inner.width(), h = look.inner.height();
    look.m = std::min(w, h);
    look.radius = std::min(look.m / 3, kTileRadiusMost);
    look.depth = look.m > kDeepTileFrom  ? kDeepTileDepth
                 : look.m > kMidTileFrom ? kMidTileDepth
                                         : kFlatTileDepth;
    look.label = w > kLabelFromWidth && h > kLabelFromHeight;
    look.big = w > kBigFromWidth && h > kBigFromHeight;
    look.titleLines = h > kTwoLinesFrom ? 2 : 1;
    look.sizeLine = look.label && h > kSizeLineFrom;
    look.badge = tile.picked && look.m > kBadgeFrom;
    return look;
}

TileColour tileColour(const DiskIndex& index, const TreemapTile& tile, RuleSet rules) {
    if (tile.isOthers()) return {0xBDB8AE, false};
    const NodeId id = tile.node();
    if (index.isDir(id)) {
        const std::string name = index.name(id);
        return {Palette::folderHexOfBytes(name.data(), name.size()), true};
    }
    return {kindHex(FileKind::ofNode(index, id, rules)), false};
}

QString tileTitle(const DiskIndex& index, const TreemapTile& tile) {
    if (tile.isOthers()) return localeCount(tile.others) + QStringLiteral(" more");
    return shownText(QString::fromStdString(index.name(tile.node())));
}

QString tileSizeText(const DiskIndex& index, const TreemapTile& tile) {
    return Fmt::bytes(tile.isOthers() ? tile.othersSize : index.size(tile.node()));
}

QStringList tileTitleLines(const QString& title, const QFontMetricsF& fm, double width, int lines) {
    const auto fits = [&](const QString& text) { return fm.horizontalAdvance(text) <= width; };
    const auto elided = [&](const QString& text) {
        return fm.elidedText(text, Qt::ElideRight, width);
    };
    if (fits(title) || lines < 2) return {elided(title)};
    QStringList out;
    qsizetype start = 0;  // where the line being filled begins
    while (out.size() < lines - 1) {
        // The longest run of whole words from `start` that fits: it ends before a blank.
        qsizetype end = -1;
        for (qsizetype blank = title.indexOf(QLatin1Char(' '), start); blank > start;
             blank = title.indexOf(QLatin1Char(' '), blank + 1)) {
            if (!fits(title.mid(start, blank - start))) break;
            end = blank;
        }
        if (end < 0) break;  // not even the first word fits: it is elided on this line
        out << title.mid(start, end - start);
        start = end;
        while (start < title.size() && title[start] == QLatin1Char(' '))
            ++start;
        if (fits(title.mid(start))) break;
    }
    out << elided(title.mid(start));
    return out;
}

QString tileHelp(const DiskIndex& index, const TreemapTile& tile) {
    if (tile.isOthers()) return QString::number(tile.others) + QStringLiteral(" smaller items");
    const QString text =
        tileTitle(index, tile) + QStringLiteral(" \u00B7 ") + tileSizeText(index, tile);
    if (index.isDir(tile.node())) return text;
    return text + QStringLiteral("\nClick to pick it for the Trash");
}

int tileAt(std::span<const TreemapTile> tiles, QPointF p, int lifted) {
    auto hits = [&](int k) { return tileInner(tiles[k].rect).contains(p); };
    if (lifted >= 0 && lifted < int(tiles.size()) && hits(lifted)) return lifted;
    for (int k = 0; k < int(tiles.size()); ++k) {
        if (hits(k)) return k;
    }
    return -1;
}

std::vector<QLineF> stripeLines(const QRectF& r) {
    std::vector<QLineF> lines;
    const double h = r.height();
    for (double x = -h; x < r.width(); x += kStripeSpacing) {
        lines.emplace_back(r.left() + x, r.bottom(), r.left() + x + h, r.top());
    }
    return lines;
}

int tileToward(std::span<const TreemapTile> tiles, int from, int arrowKey) {
    if (from < 0 || from >= int(tiles.size())) {
        for (int k = 0; k < int(tiles.size()); ++k) {
            if (!tiles[std::size_t(k)].isOthers()) return k;
        }
        return -1;
    }
    if (arrowKey != Qt::Key_Left && arrowKey != Qt::Key_Right && arrowKey != Qt::Key_Up &&
        arrowKey != Qt::Key_Down)
        return from;
    const bool across = arrowKey == Qt::Key_Left || arrowKey == Qt::Key_Right;
    const QRectF a = tiles[std::size_t(from)].rect;
    // Squarify lays the rects edge to edge (the gutter is inside each), so neighbours touch up
    // to the rounding of sums of doubles: a point of slack absorbs that.
    constexpr double slack = 1;
    struct Rank {
        bool apart = true;  // shares nothing of the ring tile's span across the move
        double distance = 0;
        double share = 0;
    };
    const auto better = [](const Rank& x, const Rank& y) {
        if (x.apart != y.apart) return !x.apart;
        if (x.distance != y.distance) return x.distance < y.distance;
        return x.share > y.share;
    };
    int best = from;
    Rank bestRank;
    for (int k = 0; k < int(tiles.size()); ++k) {
        const TreemapTile& t = tiles[std::size_t(k)];
        if (k == from || t.isOthers()) continue;
        const QRectF& b = t.rect;
        // How far `b` lies beyond `a`'s edge that way (negative: it does not), and the span
        // across the move the two share (negative: the gap between them).
        double along = 0;
        switch (arrowKey) {
            case Qt::Key_Left: along = a.left() - b.right(); break;
            case Qt::Key_Right: along = b.left() - a.right(); break;
            case Qt::Key_Up: along = a.top() - b.bottom(); break;
            default: along = b.top() - a.bottom(); break;
        }
        if (along < -slack) continue;
        const double share = across ? std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top())
                                    : std::min(a.right(), b.right()) - std::max(a.left(), b.left());
        if (along <= slack) along = 0;  // touching
        Rank rank;
        rank.apart = share <= slack;
        rank.distance = rank.apart ? std::hypot(along, std::max(-share, 0.0)) : along;
        rank.share = share;
        if (best == from || better(rank, bestRank)) {
            best = k;
            bestRank = rank;
        }
    }
    return best;
}

}  // namespace tamrel
