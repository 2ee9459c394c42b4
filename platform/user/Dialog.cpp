// Windows made from dialog templates, and the system dialog class's default processing.
#include "platform/user/UserDialog.h"

#include "platform/controls/Controls.h"
#include "platform/user/DialogTemplate.h"
#include "platform/resources/Resources.h"
#include "platform/user/UserMessageBox.h"
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/user/Window.h"

#include <cmath>
#include <cstdint>

using namespace platform::user;

namespace {

// Dialog units to pixels: a dialog unit is a quarter of the base unit across and an eighth of it
// down. A font of p points has the base units (4p + 2) / 5 across and (8p + 2) / 5 down; without
// a font the system font's 8 x 16 serve.
struct Scale {
    double baseX = 8;
    double baseY = 16;
    explicit Scale(const platform::DialogLayout& layout) {
        if ((layout.style & DS_SETFONT) && layout.pointSize > 0) {
            baseX = (4 * layout.pointSize + 2) / 5;
            baseY = (8 * layout.pointSize + 2) / 5;
        }
    }
    // Rounded to the nearest pixel, halves away from zero (the quotients are exact in a double).
    int X(int dialogUnits) const { return static_cast<int>(std::lround(dialogUnits * baseX / 4)); }
    int Y(int dialogUnits) const { return static_cast<int>(std::lround(dialogUnits * baseY / 8)); }
};

bool TakesFocus(const platform::DialogItemLayout& item) {
    return (item.style & WS_TABSTOP) && (item.style & WS_VISIBLE) && !(item.style & WS_DISABLED);
}

} // namespace

HWND CreateDialogIndirectParamA(HINSTANCE instance, const void* dialogTemplate, std::size_t size,
                                HWND owner, DLGPROC procedure, LPARAM param) {
    platform::DialogLayout layout;
    if (!platform::ReadDialogTemplate(dialogTemplate, size, &layout)) return nullptr;
    const Scale scale(layout);
    int x = scale.X(layout.x);
    int y = scale.Y(layout.y);
    RECT ownerRect{};
    if (owner && !(layout.style & DS_ABSALIGN) && GetWindowRect(owner, &ownerRect)) {
        x += ownerRect.left;
        y += ownerRect.top;
    }
    // The window is shown only once its controls are there.
    HWND dialog = CreateWindowExA(layout.exStyle, layout.className.empty() ? WC_DIALOG : layout.className.c_str(),
                                  layout.caption.c_str(), layout.style & ~WS_VISIBLE, x, y,
                                  scale.X(layout.width), scale.Y(layout.height), owner, nullptr,
                                  instance, nullptr);
    if (!dialog) return nullptr;
    WithWindow(dialog, [procedure](Window& window) { return window.dialogProcedure = procedure; });

    HWND firstFocus = nullptr;
    for (const platform::DialogItemLayout& item : layout.items) {
        HWND control = CreateWindowExA(item.exStyle, item.className.c_str(), item.text.c_str(),
                                       item.style | WS_CHILD, scale.X(item.x), scale.Y(item.y),
                                       scale.X(item.width), scale.Y(item.height), dialog,
                                       reinterpret_cast<HMENU>(static_cast<std::intptr_t>(item.id)),
                                       instance, nullptr);
        if (!control) {
            if (layout.style & DS_NOFAILCREATE) continue;
            DestroyWindow(dialog);
            return nullptr;
        }
        if (!firstFocus && TakesFocus(item)) firstFocus = control;
    }
    if (SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstFocus), param) && firstFocus) {
        SetFocus(firstFocus);
    }
    if (!IsWindow(dialog)) return nullptr; // it closed itself while it was being set up
    if (layout.style & WS_VISIBLE) ShowWindow(dialog, SW_SHOWNORMAL);
    return dialog;
}

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC procedure, LPARAM param) {
    HRSRC found = FindResourceA(instance, name, RT_DIALOG);
    if (!found) return nullptr;
    const void* bytes = LockResource(LoadResource(instance, found));
    if (!bytes) return nullptr;
    return CreateDialogIndirectParamA(instance, bytes, SizeofResource(instance, found), owner,
                                      procedure, param);
}

LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    const DLGPROC procedure = WithWindow(dialog, [](Window& window) { return window.dialogProcedure; });
    if (procedure) {
        const INT_PTR handled = procedure(dialog, message, wParam, lParam);
        if (handled) return handled;
    }
    switch (message) {
    case WM_INITDIALOG:
        return 0;
    case WM_CLOSE:
        // A dialog closes the way its Cancel button would.
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        return 0;
    default:
        return DefWindowProcA(dialog, message, wParam, lParam);
    }
}
