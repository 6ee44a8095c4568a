// Saving the report without ever losing the file it replaces: the text goes
// to a new file in the same folder, which is flushed to the disk and then
// takes the chosen name in one step. However that fails (no access, a
// read-only file, a name that is a folder, a full disk, a folder that has
// gone), the old file stays as it was and no other file is left behind.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

// The step that failed: its label and the system's code.
struct WriteFailure {
    std::string_view label;
    unsigned long code;
};

// Writes the text, then `more`, as UTF-8 with a byte-order mark to the full
// path, as above.
std::optional<WriteFailure> WriteTextFile(const std::string& path, std::u16string_view text,
                                          std::u16string_view more = {});

// Saves what the box holds now, the user's edits too, as the full path; a
// box that names the file gives the system's reason when it could not.
void SaveBoxText(HWND box, const std::string& path);
