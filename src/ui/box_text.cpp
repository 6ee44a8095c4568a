#include "ui/box_text.h"

#include "common/utf8.h"

std::vector<std::string_view> BoxTextParts(std::string_view report, std::string_view errors,
                                           std::string_view notes) {
    std::vector<std::string_view> parts = {UpToFirstZero(report)};
    bool endsLine = parts.front().empty() || parts.front().back() == '\n';
    for (const std::string_view more : {UpToFirstZero(errors), notes}) {
        if (more.empty()) {
            continue;
        }
        if (!endsLine) {
            parts.emplace_back("\r\n");
        }
        parts.push_back(more);
        endsLine = more.back() == '\n';
    }
    return parts;
}
