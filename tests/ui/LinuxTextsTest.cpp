// No text the window shows on Linux names a service Linux lacks: every text the Linux set
// shows, from the screens' text functions and from the space rules on a Linux desktop, is
// checked; and every text of ui/ and model/ that names such a service must be one the designed
// set alone shows.

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include "core/query/FileKind.h"
#include "core/space/CleanPlan.h"
#include "core/space/SystemData.h"
#include "model/app/AppModel.h"
#include "model/removal/TrashToast.h"
#include "tests/core/space/LinuxDesktop.h"
#include "tests/ui/Printers.h"
#include "tests/ui/tools/ToolsTree.h"
#include "ui/home/Sidebar.h"
#include "ui/results/ResultsText.h"
#include "ui/tools/ToolsText.h"

namespace tamrel {
namespace {

// Services, programs and files of the other platform; and "freed", which space moved to the
// Trash is not until the Trash is emptied.
const QRegularExpression& otherPlatform() {
    static const QRegularExpression words(
        QStringLiteral("Time Machine|iCloud|Spotlight|Xcode|iPhone|simulators?\\b|"
                       "Full Disk Access|Allow\u2026|until you allow|\\.dmg\\b|ext:dmg|macOS|"
                       "Finder|\\bfreed\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return words;
}

// Every text the screens' text functions show under `rules`, over a report and a plan with
// every row, bucket and group filled.
QStringList shownTexts(RuleSet rules, const test::LinuxDesktop& d, const SystemDataReport& report,
                       const std::vector<CleanGroup>& plan) {
    QStringList texts;
    SystemDataReport full = report;
    full.purgeable = 1'000'000;
    full.unseen = 2'000'000;
    full.unreadable = 3;
    for (std::int64_t snapshots : {0, 2}) {
        full.snapshots = snapshots;
        for (const HiddenRow& row : hiddenRows(full, rules))
            texts << row.title << row.value << row.text;
    }
    texts << hiddenCardTitle(rules) << summaryLine(rules);
    for (const BarSegment& s : barSegments(full, rules))
        texts << s.title << segmentTip(s);
    for (const SpaceBucket& b : report.buckets) {
        texts << QString::fromStdString(b.title) << QString::fromStdString(b.blurb)
              << adviceLook(b.advice).label;
        for (NodeId n : b.top)
            texts << friendlyName(*d.index, n, rules);
        texts << cleanKeyLook(*d.index, b, plan, d.home, rules).note;
    }
    for (const CleanGroup& g : plan) {
        texts << QString::fromStdString(g.title) << QString::fromStdString(g.blurb)
              << riskLook(g.risk).label;
        for (const CleanItem& item : g.items)
            texts << QString::fromStdString(item.note.value_or(""));
    }
    for (bool granted : {false, true})
        texts << accessLook(granted, rules).heading << accessLook(granted, rules).hint;
    texts << searchCaption(0.0123, rules) << *trashNote(10'000'000) << cleanFoundLine(1)
          << folderNote("/home/u").value_or(QString()) << trashToastTitle(10'000'000, rules);
    for (FileKind k : FileKind::allCases())
        texts << QString::fromUtf8(k.label().data(), qsizetype(k.label().size()));
    texts.removeAll(QString());
    return texts;
}

class LinuxTexts : public ::testing::Test {
protected:
    test::LinuxDesktop d;
    SystemDataReport report;
    std::vector<CleanGroup> plan;

    // A Linux desktop that fills every bucket and every group of the rules.
    void SetUp() override {
        test::makeLinuxHome(d.dir, "home/u");
        d.homeFile("/.android/avd/Pixel.avd/userdata.img");
        d.homeFile("/.var/app/org.gone.Tool/data/x");
        d.rootFile("var/tmp/scratch");
        d.rootFile("var/log/journal/abc/system.journal");
        d.rootFile("var/cache/apt/archives/tool_1.0_amd64.deb");
        d.rootFile("var/lib/flatpak/repo/x");
        d.rootFile("var/mail/u");
        d.rootFile("usr/lib/modules/6.1.0-13-amd64/kernel/x.ko");
        d.rootFile("boot/efi/EFI/debian/grubx64.efi");
        d.rootFile("swapfile");
        const std::uint32_t now = storedSeconds(std::chrono::system_clock::now());
        d.age("home/u/.var/app/org.gone.Tool", now, 60);
        d.scan();
        const RuleProfile profile = d.profile();
        report = systemData(*d.index, d.home, VolumeFacts{}, profile);
        CleanContext context;
        context.home = d.home;
        context.profile = profile;
        context.running = {"slack"};
        context.isInstalled = [](std::string_view) { return false; };
        plan = cleanPlan(*d.index, context, 0);
    }
};

TEST_F(LinuxTexts, NoTextTheLinuxSetShowsNamesWhatLinuxLacks) {
    ASSERT_EQ(AppModel::ruleSet(), RuleSet::linuxDesktop) << "the window runs the Linux set";
    // Every bucket but the device backups, and every group, has something to say.
    EXPECT_EQ(report.buckets.size(), 11u);
    EXPECT_EQ(plan.size(), 8u);
    const QStringList texts = shownTexts(RuleSet::linuxDesktop, d, report, plan);
    for (const QString& text : texts)
        EXPECT_FALSE(text.contains(otherPlatform())) << text.toStdString();
    // The check itself finds such words: the designed set shows them.
    const QStringList designed = shownTexts(RuleSet::designed, d, report, plan);
    EXPECT_GE(designed.filter(otherPlatform()).size(), 5);
}

QString readAll(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll());
}

// The string literals of C++ source, comments left out, adjacent literals joined ("a " "b" is
// "a b"), escapes kept as written.
QStringList literals(const QString& src) {
    QStringList out;
    QString joined;
    bool open = false;
    const auto end = [&] {
        if (open) out << joined;
        joined.clear();
        open = false;
    };
    for (qsizetype i = 0; i < src.size();) {
        if (src.mid(i, 2) == QLatin1String("//")) {
            const qsizetype nl = src.indexOf(QLatin1Char('\n'), i);
            i = nl < 0 ? src.size() : nl;
        } else if (src.mid(i, 2) == QLatin1String("/*")) {
            const qsizetype close = src.indexOf(QLatin1String("*/"), i + 2);
            i = close < 0 ? src.size() : close + 2;
        } else if (src[i] == QLatin1Char('"') || src[i] == QLatin1Char('\'')) {
            const QChar quote = src[i];
            QString text;
            for (++i; i < src.size() && src[i] != quote; ++i) {
                if (src[i] == QLatin1Char('\\') && i + 1 < src.size()) text += src[i++];
                text += src[i];
            }
            ++i;
            if (quote == QLatin1Char('\'')) {
                end();
            } else {
                joined += text;
                open = true;
            }
        } else {
            if (!src[i].isSpace()) end();
            ++i;
        }
    }
    end();
    return out;
}

// A literal that reads as a text on screen: words with a blank between them, or a capitalised
// word that is no path or identifier. Paths, bundle identifiers and symbol names that name the
// other platform's folders are how the rules find them, not texts.
bool isText(const QString& literal) {
    if (literal.contains(QLatin1Char(' '))) return true;
    return !literal.isEmpty() && literal[0].isUpper() && !literal.contains(QLatin1Char('/')) &&
           !literal.contains(QLatin1Char('.'));
}

TEST_F(LinuxTexts, EveryTextOfTheScreensThatNamesWhatLinuxLacksIsTheDesignedSetsAlone) {
    const QString designed =
        shownTexts(RuleSet::designed, d, report, plan).join(QLatin1Char('\n'));
    const QString onLinux =
        shownTexts(RuleSet::linuxDesktop, d, report, plan).join(QLatin1Char('\n'));
    int found = 0;
    for (const char* folder : {"ui", "model"}) {
        QDirIterator it(QStringLiteral(TAMREL_SOURCE_DIR "/") + QLatin1String(folder),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            for (const QString& literal : literals(readAll(file))) {
                if (!isText(literal) || !literal.contains(otherPlatform())) continue;
                ++found;
                // A format's placeholders ("%1") stand for what the designed text shows there.
                for (const QString& piece :
                     literal.split(QRegularExpression(QStringLiteral("%\\d")))) {
                    const QString text =
                        QString(piece).replace(QStringLiteral("\\u00B7"), QStringLiteral("\u00B7"));
                    EXPECT_TRUE(designed.contains(text))
                        << file.toStdString() << ": \"" << literal.toStdString()
                        << "\" is shown by no text function of the designed set";
                    if (text.contains(otherPlatform())) {
                        EXPECT_FALSE(onLinux.contains(text))
                            << file.toStdString() << ": \"" << literal.toStdString() << "\"";
                    }
                }
            }
        }
    }
    EXPECT_GE(found, 5) << "the designed texts kept beside the Linux ones";
}

}  // namespace
}  // namespace tamrel
