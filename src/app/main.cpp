#include <windows.h>

#include "driver/tool_process.h"
#include "report/messages.h"
#include "report/show_error.h"
#include "ui/drop_handler.h"
#include "ui/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (StartExifTool() != 1) {
        ShowMessage(kStartFailedText, kStartFailedCaption);
        return 0;
    }
    {
        HWND dialog = CreateMainDialog(instance);
        const BoxFonts fonts = dialog != nullptr ? PutResultFonts(dialog) : BoxFonts();
        RunModal(dialog, DialogCallback, {PendingDropWork, OnDropWorkDone});
    }
    StopExifTool();
    return 0;
}
