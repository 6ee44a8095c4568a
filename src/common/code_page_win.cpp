#include "common/code_page.h"

#include <windows.h>

#include "common/utf8.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 is wchar_t here");

bool FitsCodePage(std::u16string_view text, unsigned codePage) {
    // In pieces the conversion's int counts hold, never parting a surrogate pair.
    constexpr size_t kPiece = size_t{1} << 20;
    while (!text.empty()) {
        const size_t size = WholePieceLength(text, kPiece);
        BOOL usedDefault = FALSE;
        const int length = WideCharToMultiByte(
            codePage, WC_NO_BEST_FIT_CHARS, reinterpret_cast<const wchar_t*>(text.data()),
            static_cast<int>(size), nullptr, 0, nullptr, &usedDefault);
        if (length == 0 || usedDefault) {
            return false;
        }
        text.remove_prefix(size);
    }
    return true;
}
