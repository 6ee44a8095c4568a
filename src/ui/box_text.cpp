#include "ui/box_text.h"

#include "common/utf8.h"

std::vector<std::string_view> BoxTextParts(std::string_view report, std::string_view errors) {
    std::vector<std::string_view> parts = {UpToFirstZero(report)};
    const std::string_view shownErrors = UpToFirstZero(errors);
    if (shownErrors.empty()) {
        return parts;
    }
    if (!parts.front().empty() && parts.front().back() != '\n') {
        parts.emplace_back("\r\n");
    }
    parts.push_back(shownErrors);
    return parts;
}
