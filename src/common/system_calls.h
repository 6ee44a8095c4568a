// Calls that older Windows lack, found at run time: where one is missing,
// the caller goes on without it.
#pragma once

#include <windows.h>

#include <string>

#include "common/win_resources.h"

// A DLL of the system loaded from the system folder by its full path,
// never one beside the program, where anything may lie in a Downloads
// folder; empty when it cannot be loaded.
inline UniqueLibrary LoadSystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return UniqueLibrary();
    }
    std::wstring path(folder, length);
    path += L'\\';
    path += name;
    return UniqueLibrary(LoadLibraryW(path.c_str()));
}

// The named function of a loaded module; null where this Windows lacks it.
template <typename Function> Function FindSystemFunction(HMODULE module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
