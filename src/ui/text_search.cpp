#include "ui/text_search.h"

#include <string>

namespace {

class Matcher {
  public:
    Matcher(std::u16string_view text, const SearchRequest& request, const SearchRules& rules)
        : text_(text), what_(request.what), rules_(rules), matchCase_(request.matchCase),
          wholeWord_(request.wholeWord) {
        if (!matchCase_) {
            for (char16_t& c : what_) {
                c = rules_.fold[c];
            }
        }
    }

    // A match starts at `at`.
    bool At(size_t at) const {
        const size_t n = what_.size();
        for (size_t k = 0; k < n; ++k) {
            if (Folded(text_[at + k]) != what_[k]) {
                return false;
            }
        }
        return !wholeWord_ || ((at == 0 || !rules_.isWordCharacter(text_[at - 1])) &&
                               (at + n == text_.size() || !rules_.isWordCharacter(text_[at + n])));
    }

    // The first match that starts in [begin, stop), or npos.
    size_t Forward(size_t begin, size_t stop) const {
        const char16_t first = what_.front();
        for (size_t at = begin; at < stop; ++at) {
            if (Folded(text_[at]) == first && At(at)) {
                return at;
            }
        }
        return std::u16string_view::npos;
    }

    // The last match that starts in [stop, begin), or npos.
    size_t Backward(size_t begin, size_t stop) const {
        const char16_t first = what_.front();
        for (size_t at = begin; at > stop; --at) {
            if (Folded(text_[at - 1]) == first && At(at - 1)) {
                return at - 1;
            }
        }
        return std::u16string_view::npos;
    }

  private:
    char16_t Folded(char16_t c) const { return matchCase_ ? c : rules_.fold[c]; }

    std::u16string_view text_;
    std::u16string what_;
    const SearchRules& rules_;
    bool matchCase_;
    bool wholeWord_;
};

} // namespace

std::optional<TextRange> SearchText(std::u16string_view text, TextRange selection,
                                    const SearchRequest& request, const SearchRules& rules) {
    const size_t n = request.what.size();
    if (n == 0 || n > text.size()) {
        return std::nullopt;
    }
    const Matcher matcher(text, request, rules);
    // Where a match may start: up to `starts`.
    const size_t starts = text.size() - n + 1;
    size_t at = std::u16string_view::npos;
    if (request.down) {
        // From the selection's end to the end, then from the start.
        const size_t from = selection.end < starts ? selection.end : starts;
        at = matcher.Forward(from, starts);
        if (at == std::u16string_view::npos) {
            at = matcher.Forward(0, from);
        }
    } else {
        // Before the selection's start, the nearest first, then from the end.
        const size_t before = selection.start < starts ? selection.start : starts;
        at = matcher.Backward(before, 0);
        if (at == std::u16string_view::npos) {
            at = matcher.Backward(starts, before);
        }
    }
    if (at == std::u16string_view::npos) {
        return std::nullopt;
    }
    return TextRange{at, at + n};
}
