// Whether a text can be written in a code page as it is.
#pragma once

#include <string_view>

// True when every character of the UTF-16 text has its own place in the code
// page: none would become the default character or a look-alike.
bool FitsCodePage(std::u16string_view text, unsigned codePage);
