// Prints what Explorer's Properties show of an exe, and whether it carries
// an icon and a manifest: "field=value" lines, UTF-8.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/unique_resource.h"
#include "common/win_text.h"

namespace {

struct LibraryTraits {
    using Type = HMODULE;
    static Type Empty() { return nullptr; }
    static void Close(Type module) { FreeLibrary(module); }
};

std::string Field(const std::vector<unsigned char>& info, const wchar_t* name) {
    std::wstring query = L"\\StringFileInfo\\040904B0\\";
    query += name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), query.c_str(), &value, &length) || length == 0) {
        return "(none)";
    }
    return Narrow(static_cast<const wchar_t*>(value));
}

std::string Manifest(HMODULE module) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (found == nullptr) {
        return std::string();
    }
    const void* bytes = LockResource(LoadResource(module, found));
    return std::string(static_cast<const char*>(bytes), SizeofResource(module, found));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: version_info <exe>\n", stderr);
        return 2;
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
    if (size == 0) {
        std::fputs("no version information\n", stderr);
        return 1;
    }
    std::vector<unsigned char> info(size);
    if (!GetFileVersionInfoW(argv[1], 0, size, info.data())) {
        return 1;
    }
    for (const wchar_t* name : {L"ProductName", L"FileDescription", L"FileVersion",
                                L"ProductVersion", L"LegalCopyright", L"OriginalFilename"}) {
        std::printf("%s=%s\n", Narrow(name).c_str(), Field(info, name).c_str());
    }
    UniqueResource<LibraryTraits> module(
        LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (module) {
        const bool icon =
            FindResourceW(module.Get(), MAKEINTRESOURCEW(1), RT_GROUP_ICON) != nullptr;
        std::printf("Icon=%s\n", icon ? "yes" : "no");
        std::string manifest = Manifest(module.Get());
        for (char& c : manifest) {
            if (c == '\r' || c == '\n') {
                c = ' ';
            }
        }
        std::printf("Manifest=%s\n", manifest.c_str());
    }
    return 0;
}
