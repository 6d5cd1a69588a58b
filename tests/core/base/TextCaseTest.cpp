#include "core/base/TextCase.h"

#include <gtest/gtest.h>

namespace tamrel {
namespace {

TEST(TextCase, LowercasesFullUnicode) {
    EXPECT_EQ(lowercase("ABC def"), "abc def");
    EXPECT_EQ(lowercase("ÀÉÎ"), "àéî");
    EXPECT_EQ(lowercase("İ"), "i\xCC\x87");  // grows from 2 to 3 bytes
    EXPECT_EQ(lowercase("\xff"), "\xEF\xBF\xBD");
}

TEST(TextCase, CountsCharactersAsAUserSeesThem) {
    EXPECT_EQ(graphemeCount(""), 0u);
    EXPECT_EQ(graphemeCount("abcd"), 4u);
    EXPECT_EQ(graphemeCount("a\r\nb"), 3u);                  // CR LF is one character
    EXPECT_EQ(graphemeCount("e\xCC\x81" "e\xCC\x81"), 2u);   // e + combining acute, twice
    EXPECT_EQ(graphemeCount("An\xCC\x83u"), 3u);             // "Añu" written decomposed
    EXPECT_EQ(graphemeCount("caf\xC3\xA9"), 4u);             // "café" precomposed
    EXPECT_EQ(graphemeCount("\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA"), 1u);  // a flag: two indicators
    // Woman, zero-width joiner, laptop: one emoji of three scalar values.
    EXPECT_EQ(graphemeCount("\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB"), 1u);
    EXPECT_EQ(graphemeCount("\xE4\xB8\xAD\xE6\x96\x87"), 2u);  // two CJK ideographs
    // Invalid bytes are repaired first: each maximal invalid subpart is one U+FFFD.
    EXPECT_EQ(graphemeCount("ab\xff\xfe"), 4u);
}

}  // namespace
}  // namespace tamrel
