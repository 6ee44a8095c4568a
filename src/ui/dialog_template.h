// The main window's fixed layout, as data.
#pragma once

#include <cstdint>
#include <vector>

inline constexpr std::uint32_t kMainDialogStyle = 0x00C80854; // caption, system menu, centred
inline constexpr short kDialogWidth = 800;                    // dialog units
inline constexpr short kDialogHeight = 600;
inline constexpr int kBoxMargin = 5;
inline constexpr int kResultBoxId = 121;
// Child, visible, vertical scroll bar, multi-line, its selection shown while
// the Find dialog has the focus.
inline constexpr std::uint32_t kResultBoxStyle = 0x50200104;
inline constexpr char kWindowCaption[] =
    "Drag and drop file(s) or folder(s) to see any supported meta data";
inline constexpr char kResultFontFace[] = "COURIER";
// For reports the Courier face cannot show whole.
inline constexpr char kFallbackFontFace[] = "Courier New";
inline constexpr int kResultFontPoints = 8;

struct PixelRect {
    long left;
    long top;
    long right;
    long bottom;
    bool operator==(const PixelRect& other) const {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }
};

// The window's outer rectangle on a monitor's work area: in each dimension
// where it is larger than the work area it takes the work area's whole
// extent there; where it fits it stays where it is.
PixelRect FitToWorkArea(PixelRect window, PixelRect workArea);

// An extended dialog template (DLGTEMPLATEEX) with no items: the window's
// style and size, a one-space title and the 8-point "MS Sans Serif" font.
std::vector<std::uint8_t> MainDialogTemplate();

// The character height in pixels, negative as LOGFONT wants it, of the box's
// font at the given vertical dots per inch, rounded to the nearest pixel.
// The window's own font has the same 8 points.
int ResultFontHeight(int dotsPerInch);

// The DPI the system laid the window out at, told by its font's height: its
// monitor's, where the system lays dialogs out for each monitor (Windows 10
// 1703 and later), else the system's.
int LayoutDpi(int monitorDpi, int systemDpi, long windowFontHeight);

// Pixels (not negative) measured at one DPI, as many at another, rounded to
// the nearest pixel as MulDiv does: the box's margins on a monitor of
// another scale.
int ScaleForDpi(int pixels, int fromDpi, int toDpi);
