#include "ui/dialog_template.h"

#include <string_view>

namespace {

class TemplateWriter {
  public:
    void Word(std::uint16_t value) {
        bytes_.push_back(static_cast<std::uint8_t>(value & 0xFF));
        bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void Dword(std::uint32_t value) {
        Word(static_cast<std::uint16_t>(value & 0xFFFF));
        Word(static_cast<std::uint16_t>(value >> 16));
    }
    void Byte(std::uint8_t value) { bytes_.push_back(value); }
    void AsciiAsUtf16(std::string_view text) {
        for (char c : text) {
            Word(static_cast<std::uint8_t>(c));
        }
        Word(0);
    }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

  private:
    std::vector<std::uint8_t> bytes_;
};

} // namespace

std::vector<std::uint8_t> MainDialogTemplate() {
    TemplateWriter out;
    out.Word(1);      // dlgVer
    out.Word(0xFFFF); // signature: extended template
    out.Dword(0);     // helpID
    out.Dword(0);     // exStyle
    out.Dword(kMainDialogStyle);
    out.Word(0); // cDlgItems
    out.Word(0); // x
    out.Word(0); // y
    out.Word(static_cast<std::uint16_t>(kDialogWidth));
    out.Word(static_cast<std::uint16_t>(kDialogHeight));
    out.Word(0); // no menu
    out.Word(0); // the standard dialog class
    out.AsciiAsUtf16(" ");
    out.Word(kResultFontPoints); // point size, the box's too
    out.Word(400);               // regular weight
    out.Byte(0);                 // not italic
    out.Byte(0);                 // ANSI_CHARSET
    out.AsciiAsUtf16("MS Sans Serif");
    return out.Take();
}

int ResultFontHeight(int dotsPerInch) {
    // Rounded to nearest, as MulDiv does: 96 dpi gives -11, 120 gives -13.
    return -((dotsPerInch * kResultFontPoints + 36) / 72);
}

int LayoutDpi(int monitorDpi, int systemDpi, long windowFontHeight) {
    if (windowFontHeight != ResultFontHeight(monitorDpi) &&
        windowFontHeight == ResultFontHeight(systemDpi)) {
        return systemDpi;
    }
    return monitorDpi;
}

int ScaleForDpi(int pixels, int fromDpi, int toDpi) {
    if (fromDpi <= 0) {
        return pixels;
    }
    return static_cast<int>((static_cast<long long>(pixels) * toDpi + fromDpi / 2) / fromDpi);
}

PixelRect FitToWorkArea(PixelRect window, PixelRect workArea) {
    if (window.right - window.left > workArea.right - workArea.left) {
        window.left = workArea.left;
        window.right = workArea.right;
    }
    if (window.bottom - window.top > workArea.bottom - workArea.top) {
        window.top = workArea.top;
        window.bottom = workArea.bottom;
    }
    return window;
}
