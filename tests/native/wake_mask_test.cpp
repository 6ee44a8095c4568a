#include <gtest/gtest.h>

#include "ui/wake_mask.h"

namespace {

TEST(ChooseWakeMask, AllInputOrAllThatASystemOfItsAgeTakes) {
    // QS_ALLINPUT as headers for Windows 8 and later have it.
    constexpr unsigned kAllInput = 0x1CFF;
    EXPECT_EQ(ChooseWakeMask(kAllInput, [](unsigned) { return true; }), kAllInput);
    // Windows 7 refuses touch and pointer input, but waits on raw input.
    const auto windows7 = [](unsigned mask) { return (mask & 0x1800) == 0; };
    EXPECT_EQ(ChooseWakeMask(kAllInput, windows7), 0x04FFu);
    EXPECT_EQ(ChooseWakeMask(kAllInput, [](unsigned) { return false; }), 0x00FFu);
}

} // namespace
