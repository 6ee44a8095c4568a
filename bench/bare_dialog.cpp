// The program's window with nothing behind it: no tool, no drops.
#include <windows.h>

#include "ui/drop_handler.h"
#include "ui/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HWND dialog = CreateMainDialog(instance);
    UniqueFont font = dialog != nullptr ? PutResultFont(dialog) : UniqueFont();
    RunModal(dialog, DialogCallback);
    return 0;
}
