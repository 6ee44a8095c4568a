// The one way a failure reaches the user: a message box with no owner.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Shows a failed call's label with its error code and the system's text for
// that code, and returns once the box is closed.
void ShowError(std::string_view label, std::uint32_t code);
// The same, after a line that says what was being done.
void ShowError(std::string_view heading, std::string_view label, std::uint32_t code);

// Shows a fixed text under a caption (one OK button, no icon, no owner).
void ShowMessage(std::string_view text, std::string_view caption);

// Where message boxes go. Tests replace it to see the boxes without clicking.
using MessageSink = void (*)(const std::string& text, const std::string& caption);
MessageSink SetMessageSink(MessageSink sink);
