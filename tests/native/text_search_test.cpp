#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>
#include <optional>
#include <string>
#include <vector>

#include "ui/text_search.h"

namespace {

// The C library's Unicode case mapping, one unit for one, as Windows' is.
const char16_t* FoldTable() {
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> folded(65536);
        for (size_t c = 0; c < folded.size(); ++c) {
            folded[c] = static_cast<char16_t>(std::towupper(static_cast<wint_t>(c)));
        }
        return folded;
    }();
    return table.data();
}

bool IsWordCharacter(char16_t c) {
    return std::iswalnum(static_cast<wint_t>(c)) != 0 || c == u'_';
}

class SearchText : public ::testing::Test {
  protected:
    // The table is made in the locale of the first test.
    void SetUp() override { ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr); }

    // Where the match starts, or -1.
    static long Find(std::u16string_view text, std::u16string_view what, TextRange selection,
                     bool down = true, bool matchCase = false, bool wholeWord = false) {
        const std::optional<TextRange> found = ::SearchText(
            text, selection, {what, down, matchCase, wholeWord}, {FoldTable(), IsWordCharacter});
        if (found) {
            EXPECT_EQ(found->end - found->start, what.size());
        }
        return found ? static_cast<long>(found->start) : -1;
    }
};

TEST_F(SearchText, DownFromTheSelectionsEndUpFromItsStartRoundTheEndOnce) {
    const std::u16string text = u"ab ab ab";
    EXPECT_EQ(Find(text, u"ab", {0, 0}), 0);
    EXPECT_EQ(Find(text, u"ab", {0, 2}), 3);
    EXPECT_EQ(Find(text, u"ab", {3, 5}), 6);
    EXPECT_EQ(Find(text, u"ab", {6, 8}), 0); // round the end
    EXPECT_EQ(Find(text, u"ab", {6, 8}, false), 3);
    EXPECT_EQ(Find(text, u"ab", {3, 5}, false), 0);
    EXPECT_EQ(Find(text, u"ab", {0, 2}, false), 6); // round the start
    // The only match is found again from itself, either way.
    EXPECT_EQ(Find(u"x ab y", u"ab", {2, 4}), 2);
    EXPECT_EQ(Find(u"x ab y", u"ab", {2, 4}, false), 2);
    EXPECT_EQ(Find(text, u"abc", {0, 0}), -1);
    EXPECT_EQ(Find(text, u"", {0, 0}), -1);
    EXPECT_EQ(Find(u"ab", u"abab", {0, 0}), -1);
    // A selection past the text, as the box's text changed.
    EXPECT_EQ(Find(text, u"ab", {50, 60}), 0);
    EXPECT_EQ(Find(text, u"ab", {50, 60}, false), 6);
}

TEST_F(SearchText, CaseIsIgnoredInEveryScriptUnlessMatchCase) {
    const std::u16string text =
        u"Name : \u041F\u0420\u0418\u0412\u0415\u0422 \u00C4 I";               // ПРИВЕТ Ä I
    EXPECT_EQ(Find(text, u"\u043F\u0440\u0438\u0432\u0435\u0442", {0, 0}), 7); // привет
    EXPECT_EQ(Find(text, u"\u00E4", {0, 0}), 14);                              // ä
    EXPECT_EQ(Find(text, u"i", {0, 0}), 16);
    EXPECT_EQ(Find(text, u"name", {0, 0}), 0);
    EXPECT_EQ(Find(text, u"\u043F\u0440\u0438\u0432\u0435\u0442", {0, 0}, true, true), -1);
    EXPECT_EQ(Find(text, u"\u00E4", {0, 0}, true, true), -1);
    EXPECT_EQ(Find(text, u"i", {0, 0}, true, true), -1);
    EXPECT_EQ(Find(text, u"\u00C4", {0, 0}, true, true), 14);
}

TEST_F(SearchText, WholeWordSkipsMatchesInsideWords) {
    const std::u16string text = u"lens lenses Lens_1 (lens)";
    EXPECT_EQ(Find(text, u"lens", {0, 4}, true, false, true), 20);
    EXPECT_EQ(Find(text, u"lens", {20, 24}, true, false, true), 0);
    EXPECT_EQ(Find(text, u"lens", {20, 24}, false, false, true), 0);
    EXPECT_EQ(Find(text, u"lens", {0, 4}, true, false, false), 5);
    // "Lens_1" is one word.
    EXPECT_EQ(Find(u"Lens_1", u"lens", {0, 0}, true, false, true), -1);
    EXPECT_EQ(Find(u"\u00E9t\u00E9 \u00C9T\u00C9", u"\u00E9t\u00E9", {0, 3}, true, false, true), 4);
}

} // namespace
