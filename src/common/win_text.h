// Conversions between the internal UTF-8 text and the forms Win32 calls take.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// For text that goes into a buffer Win32 owns: how many UTF-16 code units
// the bytes take, then the conversion into a buffer of that many. Bytes in
// the ANSI code page when `ansi`, else UTF-8.
size_t WideLength(std::string_view bytes, bool ansi);
void WidenInto(std::string_view bytes, bool ansi, wchar_t* out, size_t length);
