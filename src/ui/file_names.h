// The names the Open and Save As dialogs deal in, as text only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kSaveNameEnd = " metadata.txt";
inline constexpr std::string_view kPlainSaveName = "metadata.txt";

// The name Save As starts with: the first dropped item's own name (a file's
// or a folder's, a trailing backslash aside) and " metadata.txt"; just
// "metadata.txt" before any drop, or where that name cannot be a file's (a
// drive's root, a wildcard). Never more than one part of a path may hold.
std::string DefaultSaveName(std::string_view firstDropped);

// What the Open dialog chose, given as the zero-separated parts of its
// answer: one full path, or a folder and then names in it.
std::vector<std::string> ChosenPaths(const std::vector<std::string>& parts);
