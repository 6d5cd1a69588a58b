#include "ui/results/RowItems.h"

#include <QDir>

#include <algorithm>

#include "core/query/FileKind.h"
#include "format/Fmt.h"
#include "model/app/AppModel.h"
#include "ui/results/ResultsText.h"
#include "ui/theme/ShownText.h"

namespace tamrel {

std::vector<RowItem> rowItems(const DiskIndex& index, std::span<const NodeId> ids,
                              std::uint64_t maxSize, std::optional<NodeId> relativeTo,
                              const std::function<bool(NodeId)>& inBasket, std::string_view home,
                              const QDateTime& now) {
    std::optional<std::string> base;
    if (relativeTo && *relativeTo < index.count()) base = index.path(*relativeTo);
    const std::int64_t nowSeconds = now.toSecsSinceEpoch();
    const double scale = double(std::max<std::uint64_t>(maxSize, 1));

    std::vector<RowItem> rows;
    rows.reserve(ids.size());
    for (NodeId id : ids) {
        if (id >= index.count()) continue;
        RowItem row;
        row.id = id;
        row.isDir = index.isDir(id);
        row.denied = index.isDenied(id);
        row.name = shownText(QString::fromStdString(index.name(id)));
        const std::optional<NodeId> parent = index.parentOf(id);
        if (base && parent) {
            const std::string p = index.path(*parent);
            const std::optional<std::string> below = belowBase(p, *base);
            row.subtitle = shownPath(tildeHome(below ? *below : p, home));
        } else if (row.denied) {
            row.subtitle = QStringLiteral("no access");
        } else if (row.isDir) {
            row.subtitle = Fmt::files(index.items(id));
        } else {
            row.subtitle = Fmt::ageSeconds(nowSeconds - std::int64_t(index.mtime(id)));
        }
        row.size = index.size(id);
        row.fraction = double(row.size) / scale;
        row.path = QString::fromStdString(index.path(id));
        if (row.isDir && ext(index, id) == "app") row.appPath = row.path;
        row.picked = inBasket && inBasket(id);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<RowItem> rowItems(const AppModel& model, std::span<const NodeId> ids,
                              std::uint64_t maxSize, std::optional<NodeId> relativeTo) {
    const IndexRef& index = model.index();
    if (!index) return {};
    const std::string home = QDir::homePath().toStdString();
    std::vector<RowItem> rows = rowItems(
        *index, ids, maxSize, relativeTo, [&](NodeId id) { return model.inBasket(id); }, home,
        QDateTime::currentDateTime());
    for (RowItem& row : rows)
        row.pickable = row.picked || model.mayPick(row.id);
    return rows;
}

}  // namespace tamrel
