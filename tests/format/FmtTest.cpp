#include "format/Fmt.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <cstdint>
#include <limits>

namespace tamrel {
namespace {

class FmtTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

TEST_F(FmtTest, BytesAreDecimalWithNumberAndUnitAlwaysShown) {
    EXPECT_EQ(Fmt::bytes(0), "0 bytes");
    EXPECT_EQ(Fmt::bytes(1), "1 byte");
    EXPECT_EQ(Fmt::bytes(999), "999 bytes");
    EXPECT_EQ(Fmt::bytes(1000), "1 KB");
    EXPECT_EQ(Fmt::bytes(1499), "1 KB");
    EXPECT_EQ(Fmt::bytes(1500), "2 KB");
    EXPECT_EQ(Fmt::bytes(1'500'000), "1.5 MB");
    EXPECT_EQ(Fmt::bytes(2'000'000), "2 MB");
    EXPECT_EQ(Fmt::bytes(3'271'000'000), "3.27 GB");
    EXPECT_EQ(Fmt::bytes(3'200'000'000), "3.2 GB");
    EXPECT_EQ(Fmt::bytes(1'000'000'000'000), "1 TB");
}

TEST_F(FmtTest, BytesThatRoundUpToAThousandMoveToTheNextUnit) {
    EXPECT_EQ(Fmt::bytes(999'499), "999 KB");
    EXPECT_EQ(Fmt::bytes(999'500), "1 MB");
    EXPECT_EQ(Fmt::bytes(999'960'000), "1 GB");
    EXPECT_EQ(Fmt::bytes(999'996'000'000), "1 TB");
}

TEST_F(FmtTest, BytesAboveTheLargestSignedCountShowThatCount) {
    const uint64_t largest = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    EXPECT_EQ(Fmt::bytes(largest), "9.22 EB");
    EXPECT_EQ(Fmt::bytes(largest + 1), Fmt::bytes(largest));
    EXPECT_EQ(Fmt::bytes(std::numeric_limits<uint64_t>::max()), Fmt::bytes(largest));
}

TEST_F(FmtTest, BytesFollowTheLocaleDecimalSeparator) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Fmt::bytes(1'500'000), "1,5 MB");
    EXPECT_EQ(Fmt::split(1'500'000).number, "1,5");
}

TEST_F(FmtTest, SplitSeparatesNumberAndUnitAtTheLastSpace) {
    Fmt::SplitBytes s = Fmt::split(1'500'000);
    EXPECT_EQ(s.number, "1.5");
    EXPECT_EQ(s.unit, "MB");
    s = Fmt::split(0);
    EXPECT_EQ(s.number, "0");
    EXPECT_EQ(s.unit, "bytes");
    s = Fmt::splitText("12");
    EXPECT_EQ(s.number, "12");
    EXPECT_EQ(s.unit, "");
    s = Fmt::splitText("1 000 KB");
    EXPECT_EQ(s.number, "1 000");
    EXPECT_EQ(s.unit, "KB");
}

TEST_F(FmtTest, AgeBoundaries) {
    constexpr int64_t day = 86'400;
    EXPECT_EQ(Fmt::ageSeconds(0), "today");
    EXPECT_EQ(Fmt::ageSeconds(day - 1), "today");
    EXPECT_EQ(Fmt::ageSeconds(-3600), "today");
    EXPECT_EQ(Fmt::ageSeconds(day), "yesterday");
    EXPECT_EQ(Fmt::ageSeconds(2 * day - 1), "yesterday");
    EXPECT_EQ(Fmt::ageSeconds(2 * day), "2 days ago");
    EXPECT_EQ(Fmt::ageSeconds(29 * day), "29 days ago");
    EXPECT_EQ(Fmt::ageSeconds(30 * day), "a month ago");
    EXPECT_EQ(Fmt::ageSeconds(59 * day + day - 1), "a month ago");
    EXPECT_EQ(Fmt::ageSeconds(60 * day), "2 months ago");
    EXPECT_EQ(Fmt::ageSeconds(364 * day), "12 months ago");
    EXPECT_EQ(Fmt::ageSeconds(365 * day), "a year ago");
    EXPECT_EQ(Fmt::ageSeconds(729 * day), "a year ago");
    EXPECT_EQ(Fmt::ageSeconds(730 * day), "2 years ago");
    EXPECT_EQ(Fmt::ageSeconds(4000 * day), "10 years ago");
}

TEST_F(FmtTest, AgeOfDatesCountsFromNow) {
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    EXPECT_EQ(Fmt::age(now.addSecs(-86'399), now), "today");
    EXPECT_EQ(Fmt::age(now.addSecs(-86'400), now), "yesterday");
    EXPECT_EQ(Fmt::age(now.addSecs(3600), now), "today");
    EXPECT_EQ(Fmt::age(now.addDays(-730), now), "2 years ago");
}

TEST_F(FmtTest, FilesUseThePluralForEverythingButOneAndGroupThousands) {
    EXPECT_EQ(Fmt::files(1), "1 file");
    EXPECT_EQ(Fmt::files(0), "0 files");
    EXPECT_EQ(Fmt::files(2), "2 files");
    EXPECT_EQ(Fmt::files(1'234'567), "1,234,567 files");
}

}  // namespace
}  // namespace tamrel
