#include "core/query/Query.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/index/NameMask.h"
#include "tests/support/Printers.h"

namespace tamrel {
namespace {

using Mode = Query::Word::Mode;
using Clock = std::chrono::system_clock;

constexpr std::uint64_t maxBytes = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint32_t maxTime = std::numeric_limits<std::uint32_t>::max();
const Clock::time_point now = Clock::from_time_t(1'700'000'000);

Query parse(std::string_view text) {
    return Query(text, "/home/u", now);
}

// Each row: a text and the query it must give, written as changes to the defaults.
TEST(Query, ParsesKeywordsAndWords) {
    struct Row {
        const char* text;
        void (*expect)(Query&);
    };
    const Row rows[] = {
        {"", [](Query&) {}},
        {"    ", [](Query&) {}},
        {"in:~/Downloads", [](Query& q) { q.scope = "/home/u/Downloads"; }},
        {"IN:/Data/Mixed Case",
         [](Query& q) {
             q.scope = "/Data/Mixed";
             q.words = {{"case", Mode::contains, false}};
             q.need = NameMask::of("case");
         }},
        {"in:/a in:/b", [](Query& q) { q.scope = "/b"; }},
        {"ext:",
         [](Query& q) {
             q.words = {{"ext:", Mode::contains, false}};
             q.need = NameMask::of("ext:");
         }},
        {"EXT:DMG,,Iso",
         [](Query& q) {
             q.exts = {"dmg", "iso"};
         }},
        {"ext:.dmg ext:zip,",
         [](Query& q) {
             q.exts = {".dmg", "zip"};
         }},
        {"type:folder", [](Query& q) { q.onlyDirs = true; }},
        {"type:dir", [](Query& q) { q.onlyDirs = true; }},
        {"type:Files", [](Query& q) { q.onlyDirs = false; }},
        {"type:x", [](Query&) {}},
        {"type:f type:d", [](Query& q) { q.onlyDirs = true; }},
        {"kind:a",
         [](Query& q) {
             q.kinds = {FileKind::audio, FileKind::archive, FileKind::app};
         }},
        {"kind:disk", [](Query& q) { q.kinds = {FileKind::diskImage}; }},
        {"kind:DATA", [](Query& q) { q.kinds = {FileKind::data}; }},
        {"kind:images kind:video",
         [](Query& q) {
             q.kinds = {FileKind::image, FileKind::video};
         }},
        {"kind:apps &",
         [](Query& q) {
             q.kinds = {FileKind::app};
             q.words = {{"&", Mode::contains, false}};
             q.need = NameMask::of("&");
         }},
        {"kind:img", [](Query&) {}},
        {"size:>1gb", [](Query& q) { q.minSize = 1'000'000'000; }},
        {"size:<500k", [](Query& q) { q.maxSize = 500'000; }},
        {"size:10MB", [](Query& q) { q.minSize = 10'000'000; }},
        {"size:1.5g", [](Query& q) { q.minSize = 1'500'000'000; }},
        {"size:100", [](Query& q) { q.minSize = 100; }},
        {"size:2TB size:<3t",
         [](Query& q) {
             q.minSize = 2'000'000'000'000;
             q.maxSize = 3'000'000'000'000;
         }},
        {"size:1 size:5b", [](Query& q) { q.minSize = 5; }},
        {"size:>=1gb", [](Query&) {}},
        {"size:big", [](Query&) {}},
        {"size:nan", [](Query&) {}},
        {"size:inf", [](Query&) {}},
        {"size:<1e999", [](Query&) {}},
        {"size:-5", [](Query&) {}},
        {"size:<-5", [](Query& q) { q.maxSize = 0; }},
        {"size:1e300tb", [](Query& q) { q.minSize = maxBytes; }},
        {"size:<1e-999", [](Query& q) { q.maxSize = 0; }},
        {"mtime:<7d", [](Query& q) { q.after = 1'700'000'000 - 604'800; }},
        {"mtime:>90d", [](Query& q) { q.before = 1'700'000'000 - 90 * 86'400; }},
        {"mtime:3", [](Query& q) { q.before = 1'700'000'000 - 3 * 86'400; }},
        {"mtime:30m", [](Query& q) { q.before = 1'700'000'000 - 1'800; }},
        {"mtime:2W mtime:<1h",
         [](Query& q) {
             q.before = 1'700'000'000 - 2 * 604'800;
             q.after = 1'700'000'000 - 3'600;
         }},
        {"mtime:<100y", [](Query&) {}},
        {"mtime:-100y", [](Query& q) { q.before = maxTime; }},
        {"mtime:1e300y", [](Query& q) { q.before = 0; }},
        {"mtime:nan", [](Query&) {}},
        {"mtime:inf", [](Query&) {}},
        {"mtime:1e999", [](Query&) {}},
        {"!tmp",
         [](Query& q) {
             q.words = {{"tmp", Mode::contains, true}};
         }},
        {"^IMG",
         [](Query& q) {
             q.words = {{"img", Mode::prefix, false}};
             q.need = NameMask::of("img");
         }},
        {"log$",
         [](Query& q) {
             q.words = {{"log", Mode::suffix, false}};
             q.need = NameMask::of("log");
         }},
        {"^foo$",
         [](Query& q) {
             q.words = {{"foo$", Mode::prefix, false}};
             q.need = NameMask::of("foo$");
         }},
        {"'Read Me'",
         [](Query& q) {
             q.words = {{"read", Mode::exact, false}, {"me'", Mode::contains, false}};
             q.need = NameMask::of("readme'");
         }},
        {"\"x\" 'y' \"z' !'w'",
         [](Query& q) {
             q.words = {{"x", Mode::exact, false},
                        {"y", Mode::exact, false},
                        {"z", Mode::exact, false},
                        {"w", Mode::exact, true}};
             q.need = NameMask::of("xyz");
         }},
        {"' \" ! ^ $ !^ !$", [](Query&) {}},
        {"Foo bar",
         [](Query& q) {
             q.words = {{"foo", Mode::contains, false}, {"bar", Mode::contains, false}};
             q.need = NameMask::of("foobar");
         }},
        {"\xC3\x89T\xC3\x89\ttab",
         [](Query& q) {
             q.words = {{"\xC3\xA9t\xC3\xa9\ttab", Mode::contains, false}};
             q.need = NameMask::of("\xC3\xA9t\xC3\xa9\ttab");
         }},
        // The Kelvin sign lowercases to "k": the keyword applies and its value starts after it.
        {"\xE2\x84\xAAind:video", [](Query& q) { q.kinds = {FileKind::video}; }},
        // A stray continuation byte right after a keyword is a character of the value, not
        // skipped: "zip" alone would be another extension.
        {"ext:\x80zip", [](Query& q) { q.exts = {"\xEF\xBF\xBDzip"}; }},
        {"in:\x80", [](Query& q) { q.scope = "\x80"; }},
    };
    for (const Row& row : rows) {
        Query expected;
        row.expect(expected);
        const Query got = parse(row.text);
        EXPECT_EQ(got.words, expected.words) << row.text;
        EXPECT_EQ(got.exts, expected.exts) << row.text;
        EXPECT_EQ(got.onlyDirs, expected.onlyDirs) << row.text;
        EXPECT_EQ(got.kinds, expected.kinds) << row.text;
        EXPECT_EQ(got.minSize, expected.minSize) << row.text;
        EXPECT_EQ(got.maxSize, expected.maxSize) << row.text;
        EXPECT_EQ(got.before, expected.before) << row.text;
        EXPECT_EQ(got.after, expected.after) << row.text;
        EXPECT_EQ(got.scope, expected.scope) << row.text;
        EXPECT_EQ(got.need, expected.need) << row.text;
    }
}

TEST(Query, IsEmptyLooksAtFiltersOnly) {
    EXPECT_TRUE(parse("").isEmpty());
    EXPECT_TRUE(parse("in:~/Downloads").isEmpty());
    EXPECT_TRUE(parse("mtime:<100y").isEmpty());
    EXPECT_TRUE(parse("size:nan kind:img type:x").isEmpty());
    for (const char* text : {"x", "!x", "ext:a", "type:d", "kind:code", "size:1", "size:<1",
                             "mtime:1d", "mtime:<1d"}) {
        EXPECT_FALSE(parse(text).isEmpty()) << text;
    }
}

TEST(Query, BytesAndSeconds) {
    struct Row {
        const char* text;
        std::optional<std::uint64_t> bytes;
    };
    const Row sizes[] = {
        {"0", 0},
        {"1.9", 1},
        {"1kb", 1'000},
        {"1KB", 1'000},
        {"2k", 2'000},
        {"3m", 3'000'000},
        {"3mb", 3'000'000},
        {"4g", 4'000'000'000},
        {"1t", 1'000'000'000'000},
        {"7b", 7},
        {".5k", 500},
        {"5.k", 5'000},
        {"+2k", 2'000},
        {"1e3", 1'000},
        {"1E+3kb", 1'000'000},
        {"2.5e-1k", 250},
        {"-1k", 0},
        {"1e19", 10'000'000'000'000'000'000u},
        {"1e20", maxBytes},
        {"18446744073709551615", maxBytes},
        {"1e-999", 0},
        {"0e999", 0},
        {"", std::nullopt},
        {"k", std::nullopt},
        {"b", std::nullopt},
        {"1 k", std::nullopt},
        {" 1k", std::nullopt},
        {"1k ", std::nullopt},
        {"1kib", std::nullopt},
        {"0x10", std::nullopt},
        {"nan", std::nullopt},
        {"inf", std::nullopt},
        {"-inf", std::nullopt},
        {"infinity", std::nullopt},
        {"1e999", std::nullopt},
        {"-1e999", std::nullopt},
        {"1e", std::nullopt},
        {"1e+", std::nullopt},
        {".", std::nullopt},
        {"--1", std::nullopt},
        {"1..2", std::nullopt},
        {"1e99999999999999999999", std::nullopt},
        {"1e-99999999999999999999", 0},
    };
    for (const Row& row : sizes)
        EXPECT_EQ(Query::bytes(row.text), row.bytes) << row.text;

    EXPECT_EQ(Query::seconds("1y"), 31'536'000.0);
    EXPECT_EQ(Query::seconds("2W"), 1'209'600.0);
    EXPECT_EQ(Query::seconds("1.5d"), 129'600.0);
    EXPECT_EQ(Query::seconds("3h"), 10'800.0);
    EXPECT_EQ(Query::seconds("30m"), 1'800.0);
    EXPECT_EQ(Query::seconds("2"), 172'800.0);
    EXPECT_EQ(Query::seconds("-1d"), -86'400.0);
    EXPECT_FALSE(Query::seconds("3s"));
    EXPECT_FALSE(Query::seconds("nan"));
    EXPECT_FALSE(Query::seconds("nand"));
    EXPECT_FALSE(Query::seconds("infd"));
    EXPECT_FALSE(Query::seconds("1e999y"));
    EXPECT_FALSE(Query::seconds(""));
}

}  // namespace
}  // namespace tamrel
