// The platform's basic types, handles and records, with the sizes the program relies on.
//
// Handles are opaque: a window handle is a number the window system hands out once and never
// reuses, so a handle kept after its window was destroyed is harmless (every call on it fails).
//
//     LPARAM range = MAKELPARAM(0, 100);   // low word 0, high word 100
//     WORD high = HIWORD(range);
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using BOOL = int;
using ATOM = WORD;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using INT_PTR = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

// Calling-convention markers of the platform's declarations; they mean nothing here.
#define CALLBACK
#define WINAPI

struct HWND__;
struct HINSTANCE__;
struct HMENU__;
struct HICON__;
struct HCURSOR__;
struct HBRUSH__;
using HWND = HWND__*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HMENU = HMENU__*;
using HICON = HICON__*;
using HCURSOR = HCURSOR__*;
using HBRUSH = HBRUSH__*;

using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct POINT {
    LONG x;
    LONG y;
};

// Edges in pixels; right and bottom lie just outside the rectangle.
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct MSG {
    HWND hwnd;       // target window; null for a message to the thread itself
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;      // milliseconds since an arbitrary start, when it was queued
    POINT pt;        // pointer position when it was queued (0, 0 without a pointer)
};

// The 16-bit halves of a message parameter, and parameters built from them.
template <typename T>
constexpr WORD LOWORD(T value) {
    return static_cast<WORD>(static_cast<DWORD_PTR>(value) & 0xFFFFu);
}
template <typename T>
constexpr WORD HIWORD(T value) {
    return static_cast<WORD>((static_cast<DWORD_PTR>(value) >> 16) & 0xFFFFu);
}
template <typename A, typename B>
constexpr LONG MAKELONG(A low, B high) {
    return static_cast<LONG>(static_cast<DWORD>(LOWORD(low)) | (static_cast<DWORD>(LOWORD(high)) << 16));
}
template <typename A, typename B>
constexpr LPARAM MAKELPARAM(A low, B high) {
    return static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(low, high)));
}
template <typename A, typename B>
constexpr WPARAM MAKEWPARAM(A low, B high) {
    return static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(low, high)));
}
