// Conversions between the internal UTF-8 text and the forms Win32 calls take.
#pragma once

#include <string>
#include <string_view>

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
std::wstring WidenFromAnsi(std::string_view ansi);
