#include <gtest/gtest.h>

#include <string>

#include "common/utf8.h"

namespace {

TEST(Utf8, AcceptsAsciiAndWellFormedSequences) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain ascii\r\n"));
    EXPECT_TRUE(IsValidUtf8("r\xC3\xA9sum\xC3\xA9"));                 // résumé
    EXPECT_TRUE(IsValidUtf8("\xD0\x96\xE6\x97\xA5\xF0\x9F\x98\x80")); // Ж 日 😀
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));                     // U+10FFFF
    EXPECT_TRUE(IsValidUtf8("\xED\x9F\xBF"));                         // U+D7FF
}

TEST(Utf8, RefusesAnsiBytesAndMalformedSequences) {
    EXPECT_FALSE(IsValidUtf8("r\xE9sum\xE9"));     // résumé in Windows-1252
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));         // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));     // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xF5\x80\x80\x80"));
    EXPECT_FALSE(IsValidUtf8("\x80"));         // lone continuation
    EXPECT_FALSE(IsValidUtf8("abc\xE6\x97"));  // cut short at the end
    EXPECT_FALSE(IsValidUtf8("\xE6\x41\xA5")); // bad continuation
}

TEST(Utf8, IncompleteTailIsTheStartOfASequenceCutShort) {
    const std::string all = "a\xD0\x96\xE6\x97\xA5\xF0\x9F\x98\x80"; // a Ж 日 😀
    // How many bytes of a sequence each cut leaves at the end.
    const size_t cut[] = {0, 0, 1, 0, 1, 2, 0, 1, 2, 3, 0};
    for (size_t end = 0; end <= all.size(); ++end) {
        EXPECT_EQ(IncompleteUtf8Tail(std::string_view(all).substr(0, end)), cut[end]) << end;
    }
    EXPECT_EQ(IncompleteUtf8Tail("\x80\x80\x80"), 0u); // no start to hold for
}

TEST(Utf8, UpToFirstZero) {
    EXPECT_EQ(UpToFirstZero(std::string_view("ab\0cd", 5)), "ab");
    EXPECT_EQ(UpToFirstZero("abc"), "abc");
    EXPECT_EQ(UpToFirstZero(std::string_view("\0x", 2)), "");
}

TEST(Utf8, Utf8LengthOfUtf16) {
    EXPECT_EQ(Utf8Length(u"a\u00E9\u65E5\U0001F600"), 1u + 2u + 3u + 4u);
    // A lone surrogate becomes the replacement character.
    EXPECT_EQ(Utf8Length(std::u16string(1, u'\xD800')), 3u);
}

} // namespace
