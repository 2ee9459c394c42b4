// Keyboard accelerators: tables of keys that stand for commands, and the keyboard state.
//
// An accelerator resource is the platform's table of 8-byte entries (WORD flags, WORD key,
// WORD command, WORD padding, little-endian); the last entry has 0x80 added to its flags.
// PackAcceleratorTable writes such a table. TranslateAcceleratorA turns a key-down whose key and
// Shift/Ctrl/Alt state match an entry exactly into WM_COMMAND for the given window, wParam
// MAKEWPARAM(command, 1), lParam 0, sent (not posted). A window that is disabled, itself or
// through an ancestor (a modal message box is up), takes no commands: nothing is sent and the
// message is left to the usual processing.
//
//     HACCEL keys = LoadAcceleratorsA(instance, "DUDEZ");
//     while (GetMessageA(&msg, nullptr, 0, 0)) {
//         if (keys && TranslateAcceleratorA(mainWindow, keys, &msg)) continue;
//         TranslateMessage(&msg);
//         DispatchMessageA(&msg);
//     }
#pragma once

#include "platform/runtime/ByteOrder.h"
#include "platform/runtime/WinTypes.h"

#include <array>
#include <cstddef>

struct HACCEL__;
using HACCEL = HACCEL__*;

constexpr BYTE FVIRTKEY = 0x01;   // `key` is a virtual key (else a character)
constexpr BYTE FNOINVERT = 0x02;  // no menu to highlight (ignored: there are no menus)
constexpr BYTE FSHIFT = 0x04;
constexpr BYTE FCONTROL = 0x08;
constexpr BYTE FALT = 0x10;

struct ACCEL {
    BYTE fVirt;                   // F* flags
    WORD key;                     // virtual key or character
    WORD cmd;                     // the command id
};

constexpr UINT WM_SYSCHAR = 0x0106;

// The resource bytes of a table with these entries, in order.
template <std::size_t N>
constexpr std::array<unsigned char, 8 * N> PackAcceleratorTable(const ACCEL (&entries)[N]) {
    std::array<unsigned char, 8 * N> bytes{};
    for (std::size_t i = 0; i < N; ++i) {
        const WORD flags = static_cast<WORD>(entries[i].fVirt | (i + 1 == N ? 0x80 : 0));
        const WORD words[4] = {flags, entries[i].key, entries[i].cmd, 0};
        for (std::size_t w = 0; w < 4; ++w) byteorder::PutLE16(bytes.data() + 8 * i + 2 * w, words[w]);
    }
    return bytes;
}

// The table resource `name` of the module; null when there is none or it is malformed.
HACCEL LoadAcceleratorsA(HINSTANCE instance, LPCSTR name);
// Nonzero when the message was a key of the table and the command was sent to `window`.
int TranslateAcceleratorA(HWND window, HACCEL table, MSG* msg);

// The state of a key as the calling thread's messages have shown it so far: negative while it
// is down.
short GetKeyState(int virtualKey);
