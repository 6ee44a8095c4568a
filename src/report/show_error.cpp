#include "report/show_error.h"

#include <optional>

#include "common/win_resources.h"
#include "common/win_text.h"
#include "report/messages.h"

namespace {

void ShowMessageBox(const std::string& text, const std::string& caption) {
    MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(), MB_OK);
}

MessageSink currentSink = ShowMessageBox;

std::optional<std::string> SystemText(std::uint32_t code) {
    UniqueLocalMemory<wchar_t> buffer;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                       FORMAT_MESSAGE_FROM_SYSTEM,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                   reinterpret_cast<wchar_t*>(buffer.Put()), 0, nullptr);
    if (!buffer) {
        return std::nullopt;
    }
    return Narrow(buffer.Get());
}

} // namespace

void ShowError(std::string_view label, std::uint32_t code) {
    ShowMessage(FormatErrorReport(label, code, SystemText(code)), kErrorCaption);
}

void ShowError(std::string_view heading, std::string_view label, std::uint32_t code) {
    ShowMessage(std::string(heading) + "\r\n" + FormatErrorReport(label, code, SystemText(code)),
                kErrorCaption);
}

void ShowMessage(std::string_view text, std::string_view caption) {
    currentSink(std::string(text), std::string(caption));
}

MessageSink SetMessageSink(MessageSink sink) {
    MessageSink previous = currentSink;
    currentSink = sink != nullptr ? sink : ShowMessageBox;
    return previous;
}
