#include "common/win_text.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace {

// The most one conversion call takes.
int CallSize(size_t size) {
    return static_cast<int>(std::min<size_t>(size, INT_MAX));
}

} // namespace

size_t WideLength(std::string_view bytes, bool ansi) {
    if (bytes.empty()) {
        return 0;
    }
    const int length = MultiByteToWideChar(ansi ? CP_ACP : CP_UTF8, 0, bytes.data(),
                                           CallSize(bytes.size()), nullptr, 0);
    return length > 0 ? static_cast<size_t>(length) : 0;
}

void WidenInto(std::string_view bytes, bool ansi, wchar_t* out, size_t length) {
    if (length == 0) {
        return;
    }
    MultiByteToWideChar(ansi ? CP_ACP : CP_UTF8, 0, bytes.data(), CallSize(bytes.size()), out,
                        CallSize(length));
}

std::wstring Widen(std::string_view utf8) {
    std::wstring wide(WideLength(utf8, false), L'\0');
    WidenInto(utf8, false, wide.data(), wide.size());
    return wide;
}

std::string Narrow(std::wstring_view wide) {
    std::string utf8;
    if (wide.empty() || wide.size() > INT_MAX) {
        return utf8;
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length > 0) {
        utf8.resize(static_cast<size_t>(length));
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    }
    return utf8;
}
