// Finding a text in the box's text, as text only.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// How the platform compares text: the case folding of each UTF-16 unit (a
// table of 65536), so that texts that differ only in case fold alike, and
// what a word is made of.
struct SearchRules {
    const char16_t* fold;
    bool (*isWordCharacter)(char16_t c);
};

struct SearchRequest {
    std::u16string_view what;
    // Down from the selection's end, or up from its start.
    bool down = true;
    bool matchCase = false;
    bool wholeWord = false;
};

struct TextRange {
    size_t start;
    size_t end;
    bool operator==(const TextRange& other) const {
        return start == other.start && end == other.end;
    }
};

// The next match of the request from the selection, going round the end of
// the text once; none when the text holds none. A whole word has no word
// character just before or after it.
std::optional<TextRange> SearchText(std::u16string_view text, TextRange selection,
                                    const SearchRequest& request, const SearchRules& rules);
