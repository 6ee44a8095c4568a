#include <windows.h>

#include "app/command_line.h"
#include "common/system_calls.h"
#include "common/win_text.h"
#include "driver/tool_process.h"
#include "report/messages.h"
#include "report/show_error.h"
#include "ui/drop_handler.h"
#include "ui/main_window.h"
#include "ui/window_dpi.h"

#ifdef __MINGW32__
// The arguments are read from the command line itself, never from the C
// runtime's copy; this keeps mingw-w64's runtime from expanding wildcards
// in that copy, which could be configured on. (MSVC's runtime expands them
// only when setargv.obj is linked.)
extern "C" {
int _dowildcard = 0;
}
#endif

namespace {

// DLLs that the system's own load later (the Find dialog's among them) come
// from the system folder only, never from the program's, where anything may
// lie in a Downloads folder. Windows 7 has the call only with KB2533623.
void LoadLibrariesFromSystemOnly() {
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    const auto set = FindSystemFunction<SetDirectories>(GetModuleHandleW(L"kernel32.dll"),
                                                        "SetDefaultDllDirectories");
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
    HWND dialog = CreateMainDialog(instance);
    SetUpWindowScale(dialog);
    AddFirstDrop(CommandLinePaths(Narrow(GetCommandLineW())));
    RunModal(dialog, DialogCallback,
             {PendingDropWork, OnDropWorkSignalled, DropWorkWaiting, DoDropWork});
    StopExifTool();
    return 0;
}
