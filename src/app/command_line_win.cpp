#include "app/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include "common/win_resources.h"
#include "common/win_text.h"

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    int count = 0;
    const UniqueLocalMemory<wchar_t*> arguments(
        CommandLineToArgvW(Widen(commandLine).c_str(), &count));
    std::vector<std::string> split;
    for (int i = 0; arguments && i < count; ++i) {
        split.push_back(Narrow(arguments.Get()[i]));
    }
    return split;
}

std::string FullPath(std::string_view path) {
    const std::wstring wide = Widen(path);
    const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (length == 0) {
        return std::string();
    }
    std::wstring full(length, L'\0');
    full.resize(GetFullPathNameW(wide.c_str(), length, full.data(), nullptr));
    return full.size() < length ? Narrow(full) : std::string();
}

bool SetCurrentFolder(std::string_view folder) {
    return SetCurrentDirectoryW(Widen(folder).c_str()) != FALSE;
}
