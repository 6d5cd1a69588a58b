#include "ui/results/ResultsText.h"

#include <QLocale>

#include "format/Fmt.h"
#include "platform/PathText.h"
#include "ui/theme/ShownText.h"

namespace tamrel {

std::vector<NodeId> pathCrumbs(std::span<const NodeId> chain) {
    if (chain.size() < 6) return {chain.begin(), chain.end()};
    return {chain.front(), NONE, chain[chain.size() - 3], chain[chain.size() - 2], chain.back()};
}

QString rootDisplayName(std::string_view rootPath, const std::optional<QString>& rootVolumeName,
                        std::string_view home) {
    if (rootPath == "/") return rootVolumeName ? *rootVolumeName : QStringLiteral("Computer");
    if (!home.empty() && rootPath == home) return QStringLiteral("Home");
    return shownPath(lastComponent(rootPath));
}

QString searchScope(const DiskIndex* index, NodeId current) {
    if (index == nullptr) return {};
    if (current == 0) return QStringLiteral("anything");
    return QStringLiteral("in ") + shownText(QString::fromStdString(index->name(current)));
}

std::optional<std::string> belowBase(std::string_view path, std::string_view base) {
    if (!path.starts_with(base)) return std::nullopt;
    const bool boundary = path.size() == base.size() || (!base.empty() && base.back() == '/') ||
                          path[base.size()] == '/';
    if (!boundary) return std::nullopt;
    std::string rest(path.substr(base.size()));
    if (rest.empty()) return std::string("/");
    return rest;
}

std::string tildeHome(std::string_view path, std::string_view home) {
    while (home.size() > 1 && home.back() == '/')
        home.remove_suffix(1);
    if (home.empty() || home == "/" || !path.starts_with(home)) return std::string(path);
    if (path.size() == home.size()) return "~";
    if (path[home.size()] != '/') return std::string(path);
    return "~" + std::string(path.substr(home.size()));
}

QString localeCount(qint64 n) {
    return QLocale().toString(n);
}

QString moreFooter(qint64 total, qint64 shown) {
    if (total <= shown) return {};
    return QStringLiteral("+ ") + localeCount(total - shown) + QStringLiteral(" more");
}

QString confirmTrashTitle(std::size_t count, std::uint64_t bytes) {
    return QStringLiteral("Move %1 item%2 (%3) to the Trash?")
        .arg(count)
        .arg(count == 1 ? "" : "s")
        .arg(Fmt::bytes(bytes));
}

QString pickedLine(std::size_t count) {
    return QString::number(count) + QStringLiteral(" PICKED");
}

QString searchTitle(bool hasResults, bool searching, qint64 total) {
    if (!hasResults && !searching) return QStringLiteral("Nothing by that name");
    return localeCount(total) + QStringLiteral(" found");
}

QString searchCaption(double seconds, RuleSet rules) {
    // The example extension is one the system's users have: disk images of the other platform
    // do not occur on Linux.
    const QString caption =
        rules == RuleSet::linuxDesktop
            ? QStringLiteral("in %1 ms \u00B7 biggest first \u00B7 try ext:iso size:>1gb mtime:>90d")
            : QStringLiteral("in %1 ms \u00B7 biggest first \u00B7 try ext:dmg size:>1gb mtime:>90d");
    return caption.arg(seconds * 1000, 0, 'f', 1);
}

QString searchCount(std::size_t results) {
    return QString::number(results);
}

QString biggestCaption(const DiskIndex& index, NodeId current) {
    if (current == 0) return QStringLiteral("anywhere");
    return QStringLiteral("in ") + shownText(QString::fromStdString(index.name(current)));
}

QString scanTimeText(double seconds) {
    return QStringLiteral("read in ") + QString::asprintf("%.1f", seconds) + QStringLiteral("s");
}

std::vector<NodeId> presentNodes(const DiskIndex& index, std::span<const NodeId> ids) {
    std::vector<NodeId> out;
    out.reserve(ids.size());
    for (NodeId id : ids) {
        if (id < index.count() && !index.isGone(id)) out.push_back(id);
    }
    return out;
}

}  // namespace tamrel
