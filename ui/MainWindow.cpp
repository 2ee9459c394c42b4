#include "ui/MainWindow.h"

#include "platform/Windows.h"
#include "ui/Globals.h"
#include "ui/PicturePanel.h"

#include <cstring>

namespace {

void OnCommand(HWND window, int id) {
    switch (id) {
    case IDC_RETURN: {   // closes only once the button says the batch is done
        char text[20];
        GetDlgItemTextA(window, IDC_ABORT, text, sizeof text);
        if (std::strcmp(text, "Done") == 0) PostMessageA(window, WM_DESTROY, 0, 0);
        break;
    }
    case IDC_ESCAPE:   // also the system Close
    case IDC_ABORT:
        PostMessageA(window, WM_DESTROY, 0, 0);
        break;
    case IDC_PREVIOUS:
        StepPictureBack();
        InvalidateRect(window, nullptr, FALSE);
        break;
    case IDC_NEXT:
        StepPictureForward();
        InvalidateRect(window, nullptr, FALSE);
        break;
    default:
        break;
    }
}

} // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        // The name shown last is kept for the tests of the window's end; nothing deletes by it
        // (the exit handler removes every unfinished file the run made, through its folder).
        if (GetDlgItemTextA(window, IDC_FILENAME, gExitDeleteName, sizeof gExitDeleteName) == 0)
            gExitDeleteName[0] = '\0';
        // WATCHOUT: the worker's file work stops here, not only at exit. Until the process ends
        // the worker would otherwise go on (its sends to a destroyed window return at once), and
        // could finish this file and start the next one while the exit handler is closing and
        // removing the unfinished files.
        crt::StopFileWork();
        PostQuitMessage(0);
        return 0;
    case WM_PAINT:
        PaintPicture(window);
        break;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam));
        break;
    case UM_BATCHDONE:
        SetDlgItemTextA(window, IDC_ABORT, "Done");
        SetFocus(GetDlgItem(window, IDC_ABORT));
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterMainWindowClass(HINSTANCE instance) {
    constexpr int kDialogWindowExtra = 30;
    constexpr INT_PTR kMenuBackground = 5;   // COLOR_MENU + 1
    WNDCLASSA windowClass{};
    windowClass.style = CS_VREDRAW | CS_HREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = kDialogWindowExtra;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "DUDEZ");
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(kMenuBackground);
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = "DUDEZ";
    return RegisterClassA(&windowClass) != 0;
}
