#include <gtest/gtest.h>

#include <string>

#include "ui/box_font.h"

namespace {

TEST(ChooseBoxFace, RasterFaceOnlyForReportsItsCodePageHoldsWhole) {
    const std::u16string ascii = u"File Name : a.jpg\r\n\tSize : 1x1\r\n";
    const std::u16string latin = u"Title : r\u00E9sum\u00E9 \u00C5\u00DF\r\n";
    const std::u16string cyrillic = u"File Name : \u0424\u043E\u0442\u043E.jpg\r\n";
    const std::u16string cjk = u"File Name : \u5199\u771F.jpg\r\n";
    const std::u16string pair = u"Title : \U00020B9F\r\n"; // outside the BMP
    // Best fit would write it as "A": it is still not there.
    const std::u16string lookAlike = u"Title : \u0100\r\n";
    constexpr BoxFace R = BoxFace::Raster;
    constexpr BoxFace T = BoxFace::TrueType;
    struct Case {
        unsigned codePage;
        BoxFace ascii, latin, cyrillic, cjk, pair, lookAlike, empty;
    };
    for (const Case& c : {Case{1252, R, R, T, T, T, T, R}, Case{1251, R, T, R, T, T, T, R},
                          Case{932, R, T, R, R, T, T, R}}) {
        SCOPED_TRACE(c.codePage);
        EXPECT_EQ(ChooseBoxFace(ascii, c.codePage), c.ascii);
        EXPECT_EQ(ChooseBoxFace(latin, c.codePage), c.latin);
        EXPECT_EQ(ChooseBoxFace(cyrillic, c.codePage), c.cyrillic);
        EXPECT_EQ(ChooseBoxFace(cjk, c.codePage), c.cjk);
        EXPECT_EQ(ChooseBoxFace(pair, c.codePage), c.pair);
        EXPECT_EQ(ChooseBoxFace(lookAlike, c.codePage), c.lookAlike);
        EXPECT_EQ(ChooseBoxFace(u"", c.codePage), c.empty);
    }
}

} // namespace
