// UTF-8 is the program's one internal text form; these are its rules.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

// True when the bytes are well-formed UTF-8: no overlong forms, no
// surrogates, nothing above U+10FFFF, no sequence cut short.
bool IsValidUtf8(std::string_view text);

// How many bytes at the end of the text begin a UTF-8 sequence that the
// text cuts short: 0 to 3.
size_t IncompleteUtf8Tail(std::string_view text);

// The part of a text that a zero-terminated API would see.
std::string_view UpToFirstZero(std::string_view text);

// How many UTF-16 code units the UTF-8 text takes.
size_t Utf16Length(std::string_view utf8);

inline bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// The length of the text's first piece of about `most` units (most > 0):
// one more where ending at `most` would part a surrogate pair.
inline size_t WholePieceLength(std::u16string_view text, size_t most) {
    return most < text.size() && IsHighSurrogate(text[most - 1]) ? most + 1
                                                                 : std::min(most, text.size());
}

// How many bytes the UTF-16 text takes in UTF-8; a lone surrogate takes the
// three of the replacement character it becomes.
size_t Utf8Length(std::u16string_view utf16);
