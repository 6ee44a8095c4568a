// Which colours the window sets, as data: none (the system's own), or those
// of the system's dark apps.
#pragma once

#include <cstdint>
#include <optional>

enum class ColourScheme {
    // The window sets no colours: light apps, high contrast, Windows 7 and 8.
    System,
    // A dark background and light text; the selection keeps the system's
    // highlight colours, which the box takes from the system itself.
    Dark,
};

// Dark where the user set apps to dark (AppsUseLightTheme is 0) and high
// contrast is off. A missing value (Windows before 10) is light.
ColourScheme ChooseColourScheme(std::optional<std::uint32_t> appsUseLightTheme, bool highContrast);

// Colours as COLORREF (0x00BBGGRR): the content area of Explorer in dark
// mode, the dark window background around it, and their white text.
struct DarkColours {
    std::uint32_t box;
    std::uint32_t margin;
    std::uint32_t text;
};
inline constexpr DarkColours kDarkColours{0x00191919, 0x00202020, 0x00FFFFFF};
