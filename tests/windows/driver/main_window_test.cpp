// The box's font for each report, in a real window, as the system's font
// mapper makes it.
#include <gtest/gtest.h>

#include <windows.h>

#include <iostream>
#include <set>
#include <string>

#include "common/win_resources.h"
#include "common/win_text.h"
#include "ui/dialog_template.h"
#include "ui/drop_handler.h"
#include "ui/main_window.h"

namespace {

const std::string kAscii = "File Name : a.jpg\r\n";
const std::string kCyrillic = "File Name : \xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE.jpg\r\n"; // "Фото"
const std::string kCjk = "File Name : \xE5\x86\x99\xE7\x9C\x9F.jpg\r\n";              // "写真"

struct Face {
    std::string asked;    // the face name the font was made with
    long height;          // its lfHeight
    std::string selected; // what the system gave for it
    long lineHeight;      // the cell height of what it gave
    LRESULT margins;
};

class BoxFont : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog_ = CreateMainDialog(GetModuleHandleW(nullptr));
        ASSERT_NE(dialog_, nullptr);
        fonts_ = PutResultFonts(dialog_);
        box_ = GetDlgItem(dialog_, kResultBoxId);
        ASSERT_TRUE(fonts_.face && fonts_.fallback);
    }
    void TearDown() override { DestroyWindow(dialog_); }

    HFONT BoxsFont() const { return reinterpret_cast<HFONT>(SendMessageW(box_, WM_GETFONT, 0, 0)); }

    Face FaceAfter(const std::string& report) {
        EXPECT_TRUE(ShowReport(box_, report));
        HFONT font = BoxsFont();
        LOGFONTW asked{};
        GetObjectW(font, sizeof asked, &asked);
        WindowDc dc(box_);
        DcSelection selected(dc.Get(), font);
        wchar_t name[LF_FACESIZE] = {};
        GetTextFaceW(dc.Get(), LF_FACESIZE, name);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc.Get(), &metrics);
        const Face face{Narrow(asked.lfFaceName), asked.lfHeight, Narrow(name), metrics.tmHeight,
                        SendMessageW(box_, EM_GETMARGINS, 0, 0)};
        std::cout << "asked " << face.asked << " " << face.height << ", selected " << face.selected
                  << ", line " << face.lineHeight << " px\n";
        return face;
    }

    HWND dialog_ = nullptr;
    BoxFonts fonts_;
    HWND box_ = nullptr;
};

TEST_F(BoxFont, CourierForReportsItShowsWholeCourierNewForTheRest) {
    // The tests' prefix runs at 96 dots per inch.
    const Face ascii = FaceAfter(kAscii);
    EXPECT_EQ(ascii.asked, "COURIER");
    EXPECT_EQ(ascii.height, -11);
    for (const std::string& report : {kCyrillic, kCjk, kAscii + kCyrillic}) {
        const Face other = FaceAfter(report);
        EXPECT_EQ(other.asked, "Courier New") << report;
        EXPECT_EQ(other.lineHeight, ascii.lineHeight) << report;
        EXPECT_EQ(other.margins, ascii.margins) << report;
    }
    const Face again = FaceAfter(kAscii);
    EXPECT_EQ(again.asked, "COURIER");
    EXPECT_EQ(again.height, -11);
    EXPECT_EQ(FaceAfter("").asked, "COURIER");
}

TEST_F(BoxFont, HundredReportsThatAlternateMakeNoFontsOfTheirOwn) {
    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    std::set<HFONT> given;
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(ShowReport(box_, i % 2 == 0 ? kAscii : kCyrillic));
        given.insert(BoxsFont());
    }
    EXPECT_EQ(given, (std::set<HFONT>{fonts_.face.Get(), fonts_.fallback.Get()}));
    // Wine counts no GDI objects (0): there the fonts given tell it alone.
    const DWORD after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    std::cout << "GDI objects " << before << " before, " << after << " after\n";
    EXPECT_LE(after, before);
}

} // namespace
