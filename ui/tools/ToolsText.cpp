#include "ui/tools/ToolsText.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

#include "format/Fmt.h"
#include "platform/PathText.h"
#include "ui/theme/Colors.h"
#include "ui/theme/ShownText.h"

namespace tamrel {
namespace {

QString plural(std::size_t n, const char* word) {
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(word) +
           (n == 1 ? QString() : QStringLiteral("s"));
}

const AdviceLook& safeLook() {
    static const AdviceLook look{QStringLiteral("Safe to clear"), QColor(30, 122, 74),
                                 QColor(221, 243, 229)};
    return look;
}

const AdviceLook& reviewLook() {
    static const AdviceLook look{QStringLiteral("Look first"), QColor(138, 90, 0),
                                 QColor(252, 239, 210)};
    return look;
}

// The texts of the System Data screen that differ between the designed rules and Linux, side by
// side. Linux has no purgeable space nor local snapshots to show (both always 0), no grey
// "System Data" bar of its own, and no settings pane that grants access to protected folders.
struct SystemDataWords {
    const char* summary;
    const char* unseenTitle;
    const char* unseenText;
    const char* hiddenTitle;
    const char* unreadableText;
    bool purgeableRows;
};

constexpr SystemDataWords designedWords{
    "The system shows all of this as one grey bar. Here's what's actually in it.",
    "Not visible to apps",
    "In use, but not inside any folder Tamrel can read: Spotlight's index, document versions "
    "and other volume-level data.",
    "Space no app can see",
    "Protected by the system until you allow Full Disk Access, so their size counts as zero "
    "here.",
    true,
};

constexpr SystemDataWords linuxWords{
    "Other tools just call this used space. Here's what's actually in it.",
    "Not in a readable folder",
    "In use, but not inside any folder Tamrel can read: root-only and other users' files, "
    "file-system metadata, files deleted while still open.",
    "Space Tamrel can't see",
    "Your account isn't allowed to open them, so their size counts as zero here.",
    false,
};

const SystemDataWords& words(RuleSet rules) {
    return rules == RuleSet::linuxDesktop ? linuxWords : designedWords;
}

}  // namespace

std::uint32_t bucketHex(std::string_view id) {
    static const std::pair<std::string_view, std::uint32_t> table[] = {
        {"caches", 0xFFC53D}, {"logs", 0xD39A6A},    {"temp", 0xA7A196}, {"trash", 0xBDB8AE},
        {"ios", 0x4FA8F7},    {"dev", 0x9BD35A},     {"ai", 0x8E7CF8},   {"vm", 0x4CC9A6},
        {"mail", 0xF27FB2},   {"appdata", 0xFF7A59}, {"swap", 0x8A8478}, {"macos", 0x6E6A63}};
    for (const auto& [key, hex] : table) {
        if (key == id) return hex;
    }
    return 0xBDB8AE;
}

AdviceLook adviceLook(SpaceBucket::Advice advice) {
    switch (advice) {
        case SpaceBucket::Advice::safe:
            return safeLook();
        case SpaceBucket::Advice::review:
            return reviewLook();
        case SpaceBucket::Advice::system:
            break;
    }
    return {QStringLiteral("Managed by the system"), Color::ink2,
            Color::withOpacity(Color::ink, 0.06)};
}

AdviceLook riskLook(CleanGroup::Risk risk) {
    return risk == CleanGroup::Risk::safe ? safeLook() : reviewLook();
}

QColor reviewInk() {
    return QColor(138, 90, 0);
}

std::vector<BarSegment> barSegments(const SystemDataReport& report, RuleSet rules) {
    std::vector<BarSegment> out;
    out.reserve(report.buckets.size() + 2);
    for (const SpaceBucket& b : report.buckets)
        out.push_back({b.id, QString::fromStdString(b.title), b.bytes, bucketHex(b.id)});
    if (report.purgeable > 0)
        out.push_back({"purgeable", QStringLiteral("Purgeable"), report.purgeable, 0xD9D4CB});
    if (report.unseen > 0)
        out.push_back({"unseen", QString::fromUtf8(words(rules).unseenTitle), report.unseen,
                       0xE8E3DA});
    return out;
}

QString summaryLine(RuleSet rules) {
    return QString::fromUtf8(words(rules).summary);
}

std::uint64_t barTotal(const std::vector<BarSegment>& segments) {
    std::uint64_t sum = 0;
    for (const BarSegment& s : segments)
        sum += s.bytes;
    return std::max<std::uint64_t>(sum, 1);
}

std::vector<double> barWidths(const std::vector<BarSegment>& segments, double width) {
    const double total = double(barTotal(segments));
    const double room = width - kBarSegmentGap * double(segments.size());
    std::vector<double> out;
    out.reserve(segments.size());
    for (const BarSegment& s : segments)
        out.push_back(std::max(room * double(s.bytes) / total, 4.0));
    return out;
}

QString segmentTip(const BarSegment& segment) {
    return segment.title + QStringLiteral(" \u00B7 ") + Fmt::bytes(segment.bytes);
}

QString rootVolumeName(const std::vector<Volume>& volumes) {
    for (const Volume& v : volumes) {
        if (v.url == "/" && !v.name.isEmpty()) return v.name;
    }
    return QStringLiteral("Computer");
}

std::optional<QString> folderNote(std::string_view rootPath, const QString& rootName) {
    if (rootPath == "/") return std::nullopt;
    return QStringLiteral("You're looking inside ") + shownPath(lastComponent(rootPath)) +
           QStringLiteral(". Open ") + shownText(rootName) +
           QStringLiteral(" in the sidebar for the whole picture.");
}

int gridColumns(double width, double minWidth, double spacing) {
    return std::max(1, int(std::floor((width + spacing) / (minWidth + spacing))));
}

bool isUuid(const QString& name) {
    static const QRegularExpression uuid(QStringLiteral(
        "^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    return name.size() == 36 && uuid.match(name).hasMatch();
}

QString friendlyName(const DiskIndex& index, NodeId node, RuleSet rules) {
    const QString name = shownText(QString::fromStdString(index.name(node)));
    const auto parentId = index.parentOf(node);
    const QString parent =
        parentId ? shownText(QString::fromStdString(index.name(*parentId))) : QString();
    if (rules == RuleSet::linuxDesktop) {
        // What the system-state and log folders of a Linux system hold.
        const auto grandparentId = parentId ? index.parentOf(*parentId) : std::nullopt;
        const QString grandparent =
            grandparentId ? shownText(QString::fromStdString(index.name(*grandparentId)))
                          : QString();
        if (parent == QLatin1String("log") && name == QLatin1String("journal"))
            return QStringLiteral("journal (system log)");
        if (parent == QLatin1String("modules") && grandparent == QLatin1String("lib"))
            return name + QStringLiteral(" (kernel modules)");
        if (parent == QLatin1String("boot") && name == QLatin1String("efi"))
            return QStringLiteral("efi (startup partition)");
        if (parent == QLatin1String("lib") && name == QLatin1String("flatpak"))
            return QStringLiteral("flatpak (installed Flatpak apps)");
        if (parent == QLatin1String("lib") && name == QLatin1String("snapd"))
            return QStringLiteral("snapd (installed snaps)");
    }
    if (!isUuid(name)) {
        // Lengths in characters as the user sees them, not UTF-16 units.
        if (parent == QLatin1String("folders") && name.toUcs4().size() == 2)
            return QStringLiteral("Temporary files for your account");
        if (name == QLatin1String("Cryptexes"))
            return QStringLiteral("Cryptexes (Safari & system extensions)");
        if (name == QLatin1String("kernelcore")) return QStringLiteral("kernelcore (memory dump)");
        if (name == QLatin1String("sleepimage"))
            return QStringLiteral("sleepimage (saved memory for sleep)");
        return name;
    }
    if (parent == QLatin1String("Preboot")) return QStringLiteral("Startup files for the system");
    return QStringLiteral("Data for ") + parent + QStringLiteral(" (") + name.left(8) +
           QLatin1Char(')');
}

std::vector<HiddenRow> hiddenRows(const SystemDataReport& report, RuleSet rules) {
    const SystemDataWords& w = words(rules);
    std::vector<HiddenRow> rows;
    if (w.purgeableRows) {
        rows.push_back({QStringLiteral("arrow.3.trianglepath"), QStringLiteral("Purgeable"),
                        Fmt::bytes(report.purgeable),
                        QStringLiteral("Space the system already counts as free-able: local Time "
                                       "Machine snapshots and iCloud files kept on disk. It "
                                       "hands this back by itself when an app needs room.")});
        if (report.snapshots != 0) {
            rows.push_back({QStringLiteral("camera.metering.unknown"),
                            QStringLiteral("Local snapshots"), QString::number(report.snapshots),
                            QStringLiteral("Saved states of your disk that Time Machine and the "
                                           "system updates keep for a while. Their size isn't "
                                           "shown by the system, and they expire on their own.")});
        } else {
            rows.push_back({QStringLiteral("camera.metering.unknown"),
                            QStringLiteral("Local snapshots"), QStringLiteral("None"),
                            QStringLiteral("No local Time Machine or update snapshots are "
                                           "holding space right now.")});
        }
    }
    if (report.unseen != 0) {
        rows.push_back({QStringLiteral("eye.slash"), QString::fromUtf8(w.unseenTitle),
                        Fmt::bytes(report.unseen), QString::fromUtf8(w.unseenText)});
    }
    if (report.unreadable >= 1) {
        rows.push_back({QStringLiteral("lock.fill"), QStringLiteral("Folders Tamrel can't read"),
                        QLocale().toString(qint64(report.unreadable)),
                        QString::fromUtf8(w.unreadableText)});
    }
    return rows;
}

QString hiddenCardTitle(RuleSet rules) {
    return QString::fromUtf8(words(rules).hiddenTitle);
}

namespace {

// Whether the plan holds `node`: offers it, a folder around it, or something inside it.
bool planHolds(const DiskIndex& index, const std::vector<CleanGroup>& plan, NodeId node) {
    for (const CleanGroup& group : plan) {
        for (const CleanItem& item : group.items) {
            if (item.node >= index.count()) continue;
            if (item.node == node || index.isAncestor(item.node, node) ||
                index.isAncestor(node, item.node))
                return true;
        }
    }
    return false;
}

// Why the plan leaves `node`, an item of `bucket`, out.
QString leftOutNote(const DiskIndex& index, const SpaceBucket& bucket, NodeId node,
                    std::string_view home, RuleSet rules) {
    if (bucket.id == "trash")
        return QStringLiteral("Clean up leaves the Trash alone: empty it in the file manager to "
                              "get this space back.");
    const std::string path = index.path(node);
    const bool inHome = !home.empty() && home != "/" && path.size() > home.size() &&
                        path.starts_with(home) && path[home.size()] == '/';
    if (inHome) {
        return QStringLiteral("Clean up leaves ") + friendlyName(index, node, rules) +
               QStringLiteral(" alone: it is kept, or too small to offer.");
    }
    // The rule folder that holds it names the place.
    std::string place = path;
    for (NodeId root : bucket.roots) {
        if (root < index.count() && index.isAncestor(root, node)) place = index.path(root);
    }
    const QString shown = shownPath(place);
    if (rules == RuleSet::linuxDesktop && place.ends_with("/var/cache")) {
        return QStringLiteral("Clean up leaves ") + shown +
               QStringLiteral(" alone: the package manager clears it (apt clean, dnf clean "
                              "all), with administrator rights.");
    }
    return QStringLiteral("Clean up leaves ") + shown +
           QStringLiteral(" alone: it belongs to the system.");
}

}  // namespace

CleanKeyLook cleanKeyLook(const DiskIndex& index, const SpaceBucket& bucket,
                          const std::vector<CleanGroup>& plan, std::string_view home,
                          RuleSet rules) {
    CleanKeyLook look;
    if (bucket.advice != SpaceBucket::Advice::safe) return look;
    const std::size_t shown = std::min(kBucketItemLines, bucket.top.size());
    std::optional<NodeId> leftOut;
    for (std::size_t i = 0; i < shown; ++i) {
        const NodeId node = bucket.top[i];
        if (node >= index.count()) continue;
        if (planHolds(index, plan, node)) {
            look.key = true;
        } else if (!leftOut) {
            leftOut = node;
        }
    }
    if (leftOut) look.note = leftOutNote(index, bucket, *leftOut, home, rules);
    return look;
}

std::uint32_t groupHex(std::string_view id) {
    static const std::pair<std::string_view, std::uint32_t> table[] = {
        {"dev", 0x9BD35A},        {"ai", 0x8E7CF8},       {"web", 0x4FA8F7},
        {"caches", 0xFFC53D},     {"logs", 0xD39A6A},     {"projects", 0xFF7A59},
        {"installers", 0x4CC9A6}, {"leftovers", 0xF27FB2}};
    for (const auto& [key, hex] : table) {
        if (key == id) return hex;
    }
    return 0xBDB8AE;
}

QString cleanConfirmTitle(std::size_t count, std::uint64_t bytes) {
    return QStringLiteral("Move ") + plural(count, "item") + QStringLiteral(" (") +
           Fmt::bytes(bytes) + QStringLiteral(") to the Trash?");
}

QString cleanFoundLine(std::uint64_t found) {
    return Fmt::bytes(found) +
           QStringLiteral(
               " found. Everything goes to the Trash, and apps you're using are left alone.");
}

std::optional<QString> trashNote(std::uint64_t trashSize) {
    if (trashSize <= 1'048'576) return std::nullopt;
    return QStringLiteral("Your Trash already holds ") + Fmt::bytes(trashSize) +
           QStringLiteral(". The space comes back once you empty it in the file manager.");
}

QString groupCountLine(std::uint64_t total, std::size_t picked, std::size_t count) {
    return QStringLiteral("of ") + Fmt::bytes(total) + QStringLiteral(" \u00B7 ") +
           QString::number(picked) + QLatin1Char('/') + QString::number(count);
}

QString groupMoreLine(std::size_t count) {
    if (count <= kGroupRowLimit) return {};
    return QStringLiteral("+ ") + QString::number(count - kGroupRowLimit) +
           QStringLiteral(" more, included in the group tick");
}

QString parentLine(const DiskIndex& index, NodeId node, std::string_view home) {
    const auto parent = index.parentOf(node);
    if (!parent) return {};
    std::string path = index.path(*parent);
    if (!home.empty()) {
        std::string out;
        std::size_t from = 0;
        for (std::size_t at; (at = path.find(home, from)) != std::string::npos;
             from = at + home.size()) {
            out.append(path, from, at - from);
            out += '~';
        }
        out.append(path, from);
        path = std::move(out);
    }
    return shownPath(path);
}

namespace {

QDateTime toDate(std::chrono::system_clock::time_point t) {
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count());
}

}  // namespace

QString appUseLine(const InstalledApp& app, const QDateTime& now) {
    if (!app.lastUsedKnown) return {};
    if (!app.lastUsed) return QStringLiteral("Never opened");
    return QStringLiteral("Used ") + Fmt::age(toDate(*app.lastUsed), now);
}

QString appDataLine(const InstalledApp& app) {
    if (app.leftoverSize <= 1'048'576) return {};
    return QLatin1Char('+') + Fmt::bytes(app.leftoverSize) + QStringLiteral(" data");
}

QString uninstallTitle(const InstalledApp* app) {
    return QStringLiteral("Uninstall ") +
           (app ? shownText(QString::fromStdString(app->name)) : QStringLiteral("this app")) +
           QLatin1Char('?');
}

QString uninstallMessage(const InstalledApp* app, std::size_t pickedCount, bool running,
                         bool pickedSystem) {
    if (!app) return {};
    QStringList sentences;
    sentences << QStringLiteral("The app and ") + plural(pickedCount, "leftover item") +
                     QStringLiteral(" go to the Trash, so you can put them back.");
    if (running)
        sentences << shownText(QString::fromStdString(app->name)) +
                         QStringLiteral(" will be asked to quit first.");
    if (pickedSystem)
        sentences << QStringLiteral(
            "Some items are outside your home folder, so the system will ask for your password.");
    return sentences.join(QLatin1Char(' '));
}

QString leftoverFact(const InstalledApp& app) {
    return Fmt::bytes(app.leftoverSize) + QStringLiteral(" in ") +
           plural(app.leftovers.size(), "place");
}

QString lastUsedFact(const InstalledApp& app, const QDateTime& now) {
    if (!app.lastUsedKnown) return {};
    return app.lastUsed ? Fmt::age(toDate(*app.lastUsed), now) : QStringLiteral("Never");
}

std::vector<IdentityPiece> identityPieces(const InstalledApp& app, const QFont& font,
                                          double width) {
    const QFontMetricsF fm(font);
    std::vector<IdentityPiece> pieces;
    double x = 0;
    const auto add = [&](const QString& text) {
        pieces.push_back({text, x});
        x += fm.horizontalAdvance(text) + 6;
    };
    if (!app.version.empty()) add(shownText(QString::fromStdString(app.version)));
    add(QStringLiteral("\u00B7"));
    const QString id = shownText(QString::fromStdString(app.bundleID));
    pieces.push_back({fm.elidedText(id, Qt::ElideMiddle, std::max(0.0, width - x)), x});
    return pieces;
}

QString detailFootnote(const InstalledApp& app, bool running) {
    if (!running) return QStringLiteral("Everything goes to the Trash, so you can put it back.");
    return shownText(QString::fromStdString(app.name)) +
           QStringLiteral(" is open. Tamrel will ask it to quit first.");
}

std::vector<KindGroup> leftoverGroups(const InstalledApp& app) {
    std::vector<KindGroup> groups;
    for (int k = 0; k <= int(Leftover::Kind::other); ++k) {
        KindGroup group{Leftover::Kind(k), {}};
        for (const Leftover& l : app.leftovers) {
            if (l.kind == group.kind) group.items.push_back(&l);
        }
        if (!group.items.empty()) groups.push_back(std::move(group));
    }
    return groups;
}

QString kindLabel(Leftover::Kind kind) {
    const std::string_view label = Leftover::linuxLabel(kind);
    return QString::fromUtf8(label.data(), qsizetype(label.size()));
}

QString appsPlaceholder(bool loading, bool noApps) {
    if (loading) return QStringLiteral("Finding your apps and what they left around\u2026");
    if (noApps) {
        return QStringLiteral("No apps to uninstall here. Programs from your package manager, "
                              "Flatpak or Snap are removed with those.");
    }
    return QStringLiteral("Pick an app");
}

std::vector<AppSort> offeredAppSorts(const std::vector<InstalledApp>& apps, AppSort current) {
    std::vector<AppSort> out;
    const bool dated = std::any_of(apps.begin(), apps.end(),
                                   [](const InstalledApp& a) { return a.lastUsedKnown; });
    for (AppSort sort : allAppSorts()) {
        if (sort != AppSort::lastUsed || dated || sort == current) out.push_back(sort);
    }
    return out;
}

}  // namespace tamrel
