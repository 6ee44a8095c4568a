#include "common/utf8.h"

namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

} // namespace

bool IsValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        size_t length = 0;
        unsigned char low = 0x80; // allowed range of the second byte
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) {
                low = 0xA0; // overlong
            } else if (lead == 0xED) {
                high = 0x9F; // surrogates
            }
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) {
                low = 0x90; // overlong
            } else if (lead == 0xF4) {
                high = 0x8F; // above U+10FFFF
            }
        } else {
            return false;
        }
        if (static_cast<size_t>(end - p) < length || p[1] < low || p[1] > high) {
            return false;
        }
        for (size_t i = 2; i < length; ++i) {
            if (!IsContinuation(p[i])) {
                return false;
            }
        }
        p += length;
    }
    return true;
}

size_t IncompleteUtf8Tail(std::string_view text) {
    const size_t most = text.size() < 3 ? text.size() : 3;
    for (size_t back = 1; back <= most; ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if (!IsContinuation(byte)) {
            const size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            return length > back ? back : 0;
        }
    }
    return 0;
}

std::string_view UpToFirstZero(std::string_view text) {
    const size_t zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(0, zero);
}

size_t Utf16Length(std::string_view utf8) {
    size_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        // One unit per sequence, two for those beyond the basic plane.
        units += IsContinuation(byte) ? 0 : (byte >= 0xF0 ? 2 : 1);
    }
    return units;
}

size_t Utf8Length(std::u16string_view utf16) {
    size_t bytes = 0;
    for (size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        const bool pair = IsHighSurrogate(unit) && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
                          utf16[i + 1] <= 0xDFFF;
        if (pair) {
            bytes += 4;
            ++i;
        } else {
            bytes += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
        }
    }
    return bytes;
}
