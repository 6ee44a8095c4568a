#include <windows.h>

#include "driver/exiftool.h"
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
        UniqueFont font = dialog != nullptr ? PutResultFont(dialog) : UniqueFont();
        RunModal(dialog, DialogCallback);
    }
    StopExifTool();
    return 0;
}
