// The program's window with nothing behind it: no tool, no drops.
#include <windows.h>

#include "ui/drop_handler.h"
#include "ui/main_window.h"
#include "ui/window_dpi.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HWND dialog = CreateMainDialog(instance);
    SetUpWindowScale(dialog);
    RunModal(dialog, DialogCallback,
             {PendingDropWork, OnDropWorkSignalled, DropWorkWaiting, DoDropWork});
    return 0;
}
