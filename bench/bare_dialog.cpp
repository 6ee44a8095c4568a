// The program's window with nothing behind it: no tool, no drops.
#include <windows.h>

#include "ui/drop_handler.h"
#include "ui/main_window.h"
#include "ui/result_box.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HWND dialog = CreateMainDialog(instance);
    const BoxFonts fonts = dialog != nullptr ? PutResultFonts(dialog) : BoxFonts();
    RunModal(dialog, DialogCallback,
             {PendingDropWork, OnDropWorkSignalled, DropWorkWaiting, DoDropWork});
    return 0;
}
