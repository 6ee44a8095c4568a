#include <windows.h>

#include "driver/tool_process.h"
#include "report/messages.h"
#include "report/show_error.h"
#include "ui/drop_handler.h"
#include "ui/main_window.h"
#include "ui/result_box.h"

namespace {

// DLLs that the system's own load later (the Find dialog's among them) come
// from the system folder only, never from the program's, where anything may
// lie in a Downloads folder. Windows 7 has the call only with KB2533623.
void LoadLibrariesFromSystemOnly() {
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    const auto set = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (set != nullptr) {
        set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    LoadLibrariesFromSystemOnly();
    if (StartExifTool() != 1) {
        ShowMessage(kStartFailedText, kStartFailedCaption);
        return 0;
    }
    {
        HWND dialog = CreateMainDialog(instance);
        const BoxFonts fonts = dialog != nullptr ? PutResultFonts(dialog) : BoxFonts();
        RunModal(dialog, DialogCallback,
                 {PendingDropWork, OnDropWorkSignalled, DropWorkWaiting, DoDropWork});
    }
    StopExifTool();
    return 0;
}
