#include "ui/colour_scheme.h"

ColourScheme ChooseColourScheme(std::optional<std::uint32_t> appsUseLightTheme, bool highContrast) {
    if (highContrast || !appsUseLightTheme || *appsUseLightTheme != 0) {
        return ColourScheme::System;
    }
    return ColourScheme::Dark;
}
