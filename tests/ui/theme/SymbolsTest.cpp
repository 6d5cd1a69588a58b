#include "ui/theme/Symbols.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "tests/ui/Printers.h"

namespace tamrel {
namespace {

QString readAll(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll());
}

QStringList sources(const QString& folder, const QStringList& patterns = {"*.cpp", "*.h"}) {
    QStringList files;
    QDirIterator it(QStringLiteral(TAMREL_SOURCE_DIR "/") + folder, patterns, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

// The core's records name their symbols beside their ids, titles and blurbs: the System Data
// rules before their advice, the clean-up groups before their risk, the suggestions as the
// last text of their add() call. Every one must have a glyph.
TEST(Symbols, EverySymbolOfTheCoresRecordsHasAGlyph) {
    const QString name = QStringLiteral("\"([a-z][a-z0-9]*(?:\\.[a-z0-9]+)*)\"");
    const QRegularExpression beforeJudgement(
        name + QStringLiteral("\\s*,\\s*(?:SpaceBucket::)?(?:Advice|CleanGroup::Risk)::"));
    const QRegularExpression addCall(QStringLiteral("\\.add\\(([^;]*)\\);"));
    const QRegularExpression literal(name);
    QStringList missing;
    int symbols = 0;
    auto check = [&](const QString& symbol, const QString& file) {
        ++symbols;
        if (!Symbols::has(symbol)) missing << symbol + QStringLiteral(" (") + file + QLatin1Char(')');
    };
    for (const QString& file : sources(QStringLiteral("core/space"), {"*.cpp"})) {
        const QString text = readAll(file);
        auto judged = beforeJudgement.globalMatch(text);
        while (judged.hasNext()) check(judged.next().captured(1), file);
        auto adds = addCall.globalMatch(text);
        while (adds.hasNext()) {
            // add(id, title, blurb, symbol, nodes): the id is the first such word, the symbol
            // the last.
            QStringList words;
            auto it = literal.globalMatch(adds.next().captured(1));
            while (it.hasNext()) words << it.next().captured(1);
            if (words.size() >= 2) check(words.last(), file);
        }
    }
    EXPECT_GT(symbols, 15);
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QStringLiteral(", ")).toStdString();
}

TEST(Symbols, EverySymbolTheModelAndTheScreensNameHasAGlyph) {
    // The places of the model name theirs as dotted words; the screens hand theirs to the
    // symbol drawing calls.
    const QRegularExpression dotted(QStringLiteral("\"([a-z0-9]+(?:\\.[a-z0-9]+)*\\.fill)\""));
    const QRegularExpression call(QStringLiteral(
        "(?:glyph|setSymbol|Glyph|RoundKey)\\(\\s*(?:QStringLiteral\\()?\"([^\"]+)\""));
    QStringList missing;
    int symbols = 0;
    auto check = [&](const QRegularExpression& re, const QString& folder) {
        for (const QString& file : sources(folder)) {
            auto it = re.globalMatch(readAll(file));
            while (it.hasNext()) {
                const QString name = it.next().captured(1);
                ++symbols;
                if (!Symbols::has(name))
                    missing << name + QStringLiteral(" (") + file + QLatin1Char(')');
            }
        }
    };
    check(dotted, QStringLiteral("model/app"));
    check(call, QStringLiteral("ui"));
    EXPECT_GT(symbols, 5);
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QStringLiteral(", ")).toStdString();
}

}  // namespace
}  // namespace tamrel
