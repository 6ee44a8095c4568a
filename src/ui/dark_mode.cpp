#include "ui/dark_mode.h"

#include <optional>
#include <string_view>

#include "common/system_calls.h"
#include "ui/colour_scheme.h"
#include "ui/dialog_template.h"

namespace {

// The dark scheme's brushes, while it is in use.
struct Scheme {
    UniqueBrush box;
    UniqueBrush margin;
};
Scheme scheme;

std::optional<std::uint32_t> AppsUseLightTheme() {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(
            HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
            L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

// The dark title bar: DWMWA_USE_IMMERSIVE_DARK_MODE, 20 since Windows 10
// 20H1 and 19 before it; a system that knows neither refuses both.
void SetDarkTitleBar(HWND dialog, bool dark) {
    using SetAttribute = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
    static const UniqueLibrary dwm = LoadSystemLibrary(L"dwmapi.dll");
    static const auto set = FindSystemFunction<SetAttribute>(dwm.Get(), "DwmSetWindowAttribute");
    if (set == nullptr) {
        return;
    }
    const BOOL value = dark ? TRUE : FALSE;
    for (const DWORD attribute : {20u, 19u}) {
        if (set(dialog, attribute, &value, sizeof(value)) == S_OK) {
            return;
        }
    }
}

// The box's scroll bar in the system's dark theme where it has one; a
// system without it keeps the one it has.
void SetDarkScrollBar(HWND box, bool dark) {
    using SetTheme = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    static const UniqueLibrary uxtheme = LoadSystemLibrary(L"uxtheme.dll");
    static const auto set = FindSystemFunction<SetTheme>(uxtheme.Get(), "SetWindowTheme");
    if (set != nullptr && box != nullptr) {
        set(box, dark ? L"DarkMode_Explorer" : nullptr, nullptr);
    }
}

} // namespace

void ApplyColourScheme(HWND dialog) {
    const bool dark =
        ChooseColourScheme(AppsUseLightTheme(), HighContrastOn()) == ColourScheme::Dark;
    if (dark && !scheme.box) {
        scheme.box.Reset(CreateSolidBrush(kDarkColours.box));
        scheme.margin.Reset(CreateSolidBrush(kDarkColours.margin));
    } else if (!dark) {
        scheme.box.Reset();
        scheme.margin.Reset();
    }
    SetDarkTitleBar(dialog, dark);
    SetDarkScrollBar(GetDlgItem(dialog, kResultBoxId), dark);
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void OnSettingChange(HWND dialog, WPARAM wParam, LPARAM lParam) {
    const auto* area = reinterpret_cast<const wchar_t*>(lParam);
    if (wParam == SPI_SETHIGHCONTRAST ||
        (area != nullptr && std::wstring_view(area) == L"ImmersiveColorSet")) {
        ApplyColourScheme(dialog);
    }
}

INT_PTR OnCtlColor(UINT message, WPARAM dc) {
    HBRUSH brush = message == WM_CTLCOLOREDIT ? scheme.box.Get() : scheme.margin.Get();
    if (brush == nullptr) {
        return 0;
    }
    auto* context = reinterpret_cast<HDC>(dc);
    SetTextColor(context, kDarkColours.text);
    SetBkColor(context, message == WM_CTLCOLOREDIT ? kDarkColours.box : kDarkColours.margin);
    return reinterpret_cast<INT_PTR>(brush);
}
