#include "common/win_text.h"

#include <windows.h>

#include <climits>

namespace {

std::wstring ToWide(UINT codePage, std::string_view bytes) {
    std::wstring wide;
    if (bytes.empty() || bytes.size() > INT_MAX) {
        return wide;
    }
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (length > 0) {
        wide.resize(static_cast<size_t>(length));
        MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), length);
    }
    return wide;
}

} // namespace

std::wstring Widen(std::string_view utf8) {
    return ToWide(CP_UTF8, utf8);
}

std::wstring WidenFromAnsi(std::string_view ansi) {
    return ToWide(CP_ACP, ansi);
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
