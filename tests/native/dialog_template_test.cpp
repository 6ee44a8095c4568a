#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/dialog_template.h"

namespace {

struct Reader {
    const std::vector<std::uint8_t>& bytes;
    size_t at = 0;
    std::uint16_t Word() {
        const std::uint16_t value =
            static_cast<std::uint16_t>(bytes.at(at) | bytes.at(at + 1) << 8);
        at += 2;
        return value;
    }
    std::uint32_t Dword() {
        const std::uint32_t low = Word();
        return low | static_cast<std::uint32_t>(Word()) << 16;
    }
    std::uint8_t Byte() { return bytes.at(at++); }
    std::string Utf16() {
        std::string text;
        for (std::uint16_t c = Word(); c != 0; c = Word()) {
            text += static_cast<char>(c);
        }
        return text;
    }
};

TEST(MainDialogTemplate, HoldsTheWindowsFixedValuesInOrder) {
    const std::vector<std::uint8_t> bytes = MainDialogTemplate();
    Reader in{bytes};
    EXPECT_EQ(in.Word(), 1);      // dlgVer
    EXPECT_EQ(in.Word(), 0xFFFF); // extended
    EXPECT_EQ(in.Dword(), 0u);    // helpID
    EXPECT_EQ(in.Dword(), 0u);    // exStyle: the window itself takes no drops
    EXPECT_EQ(in.Dword(), 0x00C80854u);
    EXPECT_EQ(in.Word(), 0); // no items
    EXPECT_EQ(in.Word(), 0);
    EXPECT_EQ(in.Word(), 0);
    EXPECT_EQ(in.Word(), 800);
    EXPECT_EQ(in.Word(), 600);
    EXPECT_EQ(in.Word(), 0); // menu
    EXPECT_EQ(in.Word(), 0); // class
    EXPECT_EQ(in.Utf16(), " ");
    EXPECT_EQ(in.Word(), 8);
    EXPECT_EQ(in.Word(), 400);
    EXPECT_EQ(in.Byte(), 0);
    EXPECT_EQ(in.Byte(), 0);
    EXPECT_EQ(in.Utf16(), "MS Sans Serif");
    EXPECT_EQ(in.at, bytes.size());
}

TEST(MainDialogTemplate, StyleHasNoVisibleNoSizingNoMinMaxBox) {
    constexpr std::uint32_t kVisible = 0x10000000, kThickFrame = 0x00040000,
                            kMinimizeBox = 0x00020000, kMaximizeBox = 0x00010000,
                            kPopup = 0x80000000, kChild = 0x40000000;
    EXPECT_EQ(kMainDialogStyle &
                  (kVisible | kThickFrame | kMinimizeBox | kMaximizeBox | kPopup | kChild),
              0u);
}

TEST(ResultFontHeight, RoundsThePointSizeAtTheBoxsDpi) {
    EXPECT_EQ(ResultFontHeight(96), -11);
    EXPECT_EQ(ResultFontHeight(120), -13);
    EXPECT_EQ(ResultFontHeight(144), -16);
    EXPECT_EQ(ResultFontHeight(72), -8);
    EXPECT_EQ(ResultFontHeight(100), -11); // 11.11 rounds down
    EXPECT_EQ(ResultFontHeight(117), -13); // 13.0
}

TEST(WindowScale, LaidOutForTheMonitorUnlessOnlyTheSystemsDpiGivesTheFontMarginsScaledAsMulDiv) {
    EXPECT_EQ(LayoutDpi(144, 96, -16), 144); // laid out for its monitor
    EXPECT_EQ(LayoutDpi(96, 120, -13), 120); // at the system's DPI
    EXPECT_EQ(LayoutDpi(96, 100, -11), 96);  // both give it
    // The 5-unit margins are 9 x 8 px at 96 DPI; 13.5 rounds up, 9.33 down.
    EXPECT_EQ(ScaleForDpi(9, 96, 144), 14);
    EXPECT_EQ(ScaleForDpi(14, 144, 96), 9);
    EXPECT_EQ(ScaleForDpi(9, 0, 144), 9); // no scale known: as it is
}

TEST(FitToWorkArea, TakesTheWorkAreaOnlyInADimensionTooLargeForIt) {
    const PixelRect window{-3, -10, 1397, 990}; // 1400 x 1000
    const PixelRect screen{0, 0, 1366, 768};
    EXPECT_EQ(FitToWorkArea(window, screen), screen);
    EXPECT_EQ(FitToWorkArea(window, {0, 0, 1920, 768}), (PixelRect{-3, 0, 1397, 768}));
    EXPECT_EQ(FitToWorkArea(window, {0, 0, 1366, 1200}), (PixelRect{0, -10, 1366, 990}));
    // A work area of a second monitor, below a taskbar.
    EXPECT_EQ(FitToWorkArea(window, {1920, 40, 3286, 808}), (PixelRect{1920, 40, 3286, 808}));
    // Equal or smaller: nothing changes.
    EXPECT_EQ(FitToWorkArea(window, {-3, -10, 1397, 990}), window);
    EXPECT_EQ(FitToWorkArea(window, {0, 0, 1920, 1200}), window);
}

} // namespace
