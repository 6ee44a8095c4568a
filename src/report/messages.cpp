#include "report/messages.h"

#include "common/utf8.h"

std::string FormatErrorReport(std::string_view label, std::uint32_t code,
                              std::optional<std::string_view> systemText) {
    std::string text(label);
    text += " failed with error ";
    text += std::to_string(code);
    text += "\r\n";
    if (systemText) {
        text += UpToFirstZero(*systemText);
    }
    return text;
}

std::string NotFoundText(std::string_view what) {
    return "Cannot find \"" + std::string(what) + "\"";
}

std::string NotSavedText(std::string_view path) {
    return "The report was not saved as \"" + std::string(path) +
           "\". Any file of that name is as it was.";
}
