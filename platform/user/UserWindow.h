// Windows: classes, creation and destruction, state, relations, texts and the default procedure.
//
// A window belongs to the thread that created it; its procedure always runs on that thread.
// Calls that change a window from another thread (texts, showing, enabling) are carried out by
// the owning thread while the caller waits, so they have taken effect when they return.
//
//     WNDCLASSA wc{};
//     wc.lpfnWndProc = MyProc;
//     wc.lpszClassName = "Mine";
//     RegisterClassA(&wc);
//     HWND top = CreateWindowExA(0, "Mine", "Title", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
//                                nullptr, nullptr, nullptr, nullptr);
//     HWND label = CreateWindowExA(0, "static", "", WS_CHILD | WS_VISIBLE, 5, 5, 80, 10, top,
//                                  reinterpret_cast<HMENU>(1002), nullptr, nullptr);
//     SetDlgItemTextA(top, 1002, "piano.wav");
#pragma once

#include "platform/user/WinMessages.h"
#include "platform/runtime/WinTypes.h"

// Window styles.
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_CAPTION = 0x00C00000; // WS_BORDER | WS_DLGFRAME
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;

// Class styles.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;

// Show commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
constexpr int SW_SHOWDEFAULT = 10;

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

struct WNDCLASSA {
    UINT style;            // CS_* flags
    WNDPROC lpfnWndProc;   // the class's window procedure
    int cbClsExtra;        // extra bytes per class
    int cbWndExtra;        // extra bytes per window
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

// What WM_NCCREATE and WM_CREATE carry in lParam.
struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;           // the control id of a child window
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

// Classes. Names are compared without regard to case. Registering a name twice fails; a class
// that still has windows, and the system's own classes, cannot be unregistered.
ATOM RegisterClassA(const WNDCLASSA* windowClass);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);

// Creation: the procedure sees WM_NCCREATE (whose default processing sets the text) and
// WM_CREATE (-1 refuses the window). A child (WS_CHILD) needs a parent and takes `menu` as its
// control id; any other window takes the parent as its owner.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
// Only the owning thread may destroy a window. Owned windows go first; then WM_DESTROY reaches the
// window and then its children (all still alive), and WM_NCDESTROY the children before the window.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);

// Relations and placement.
HWND GetParent(HWND window);              // the parent of a child, the owner of any other
HWND GetDlgItem(HWND dialog, int id);     // the first child with that control id
int GetDlgCtrlID(HWND window);            // 0 for a window that is not a child
BOOL GetClientRect(HWND window, RECT* rect);
BOOL GetWindowRect(HWND window, RECT* rect); // in screen coordinates

// State.
BOOL ShowWindow(HWND window, int command);       // TRUE when it was visible before
BOOL EnableWindow(HWND window, BOOL enable);     // TRUE when it was disabled before
BOOL IsWindowEnabled(HWND window);
BOOL IsWindowVisible(HWND window);               // its own WS_VISIBLE, read without a send
HWND SetFocus(HWND window);                      // a window of the calling thread, or null

// Item texts. GetDlgItemTextA copies at most size - 1 characters and a terminator and returns how
// many it copied; a missing item yields 0 characters (and an empty buffer).
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size);
// Shows the value in decimal; with isSigned it is read as a signed 32-bit number.
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);

// Default processing: WM_NCCREATE sets the text, WM_SETTEXT/WM_GETTEXT/WM_GETTEXTLENGTH work on
// it, WM_CLOSE and the system Close destroy the window, WM_PAINT validates it.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
