// Windows built from dialog templates.
//
// CreateDialogParamA reads the template resource (platform/user/DialogTemplate.h), creates the window
// of the class the template names (without one, the system's dialog class, which hands messages
// to the dialog procedure) and then its controls in template order, each with its id, class,
// style, rectangle and text. Dialog units become pixels through the base units of the template's
// font; the window's size is the size of its client area. Controls see their own creation
// messages; then the window gets WM_INITDIALOG (wParam: the first visible, enabled control with
// WS_TABSTOP; lParam: the caller's value) and, when the template says WS_VISIBLE, is shown. When
// WM_INITDIALOG returns nonzero, that control gets the keyboard focus. A control that cannot be
// made fails the whole window: it is destroyed again and the result is null.
//
//     HWND window = CreateDialogParamA(instance, "DUDEZ", nullptr, nullptr, 0);
#pragma once

#include "platform/runtime/WinTypes.h"

#include <cstddef>
#include <cstdint>

using DLGPROC = INT_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Dialog template styles.
constexpr DWORD DS_ABSALIGN = 0x0001;    // the position is on the screen, not the owner
constexpr DWORD DS_3DLOOK = 0x0004;
constexpr DWORD DS_NOFAILCREATE = 0x0010;
constexpr DWORD DS_SETFONT = 0x0040;     // the template names a font
constexpr DWORD DS_MODALFRAME = 0x0080;

// Extra window bytes a class of dialog windows reserves.
constexpr int DLGWINDOWEXTRA = 30;

constexpr UINT WM_INITDIALOG = 0x0110;

// The name of the system's dialog class, as an atom.
#define WC_DIALOG (reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(0x8002)))

// `name`: a template name or MAKEINTRESOURCE number. `owner`: null for none; otherwise the
// window is owned by it and its position is counted from the owner's client area, unless the
// template says DS_ABSALIGN.
HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC procedure,
                        LPARAM param);
// The same from a template in memory of `size` bytes.
HWND CreateDialogIndirectParamA(HINSTANCE instance, const void* dialogTemplate, std::size_t size,
                                HWND owner, DLGPROC procedure, LPARAM param);

// The default processing of the system dialog class: the dialog procedure first, then
// DefWindowProcA. WM_CLOSE becomes WM_COMMAND IDCANCEL.
LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
