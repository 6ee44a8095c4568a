// The same answer from the C library's converters, where Win32 is not.
#include "common/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <string>

bool FitsCodePage(std::u16string_view text, unsigned codePage) {
    if (text.empty()) {
        return true;
    }
    const std::string name = "CP" + std::to_string(codePage);
    // No //TRANSLIT: a character the code page lacks is an error, not a look-alike.
    iconv_t convert = iconv_open(name.c_str(), "UTF-16LE");
    // The library's own way to say it failed.
    if (convert == reinterpret_cast<iconv_t>(-1)) { // NOLINT(performance-no-int-to-ptr)
        return false;
    }
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
    size_t inLeft = text.size() * sizeof(char16_t);
    bool fits = true;
    while (fits && inLeft > 0) {
        char buffer[4096];
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        if (iconv(convert, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) {
            fits = errno == E2BIG;
        }
    }
    iconv_close(convert);
    return fits;
}
