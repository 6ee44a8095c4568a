#include <gtest/gtest.h>

#include "ui/colour_scheme.h"

namespace {

TEST(ChooseColourScheme, DarkOnlyForDarkAppsWithoutHighContrast) {
    EXPECT_EQ(ChooseColourScheme(0u, false), ColourScheme::Dark);
    EXPECT_EQ(ChooseColourScheme(0u, true), ColourScheme::System);
    EXPECT_EQ(ChooseColourScheme(1u, false), ColourScheme::System);
    EXPECT_EQ(ChooseColourScheme(std::nullopt, false), ColourScheme::System);
}

} // namespace
