// The system's Open and Save As dialogs, owned by the main window. While one
// is open, its own loop runs the window's messages: a report coming in waits
// in memory and goes on into the box the moment the dialog closes.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// Ctrl+O: the files the user chose, several at once if they like; none on
// Cancel, or when the dialog failed, which has then been shown.
std::vector<std::string> ChooseFilesToOpen(HWND owner);

// Ctrl+S: the full name to save as, offered as `name` in the folder last
// used, of the type "Text" (whose extension a name typed without one gets)
// or "All files". Saving over a file is asked about first. None on Cancel,
// or when the dialog failed, which has then been shown.
std::optional<std::string> ChooseSaveName(HWND owner, const std::string& name);
