// Message queues: one per thread that owns a window or waits for a reply, made on first need.
//
// PostMessageA appends to the queue of the window's thread and returns at once, from any thread.
// SendMessageA to a window of the calling thread calls its procedure directly; to a window of
// another thread it waits until that thread has handled the message and returns its result.
// While it waits, the sender still handles messages that other threads send to it, so two
// threads that send to each other never deadlock.
//
// GetMessageA first handles every message sent from other threads, then returns posted messages,
// then WM_QUIT once PostQuitMessage was called (GetMessageA returns 0 for it), then input, and
// last WM_PAINT for a window of the thread that needs painting (until it is validated). The
// usual loop:
//
//     MSG msg;
//     while (GetMessageA(&msg, nullptr, 0, 0)) {
//         TranslateMessage(&msg);
//         DispatchMessageA(&msg);
//     }
//
// A message for a window destroyed in the meantime is dropped; a send to a destroyed window, or
// to a thread that has ended, returns 0 at once.
#pragma once

#include "platform/user/WinMessages.h"
#include "platform/runtime/WinTypes.h"

// PeekMessageA flags.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// GetQueueStatus flags: what kind of message is waiting.
constexpr UINT QS_KEY = 0x0001;
constexpr UINT QS_MOUSEMOVE = 0x0002;
constexpr UINT QS_MOUSEBUTTON = 0x0004;
constexpr UINT QS_POSTMESSAGE = 0x0008;
constexpr UINT QS_PAINT = 0x0020;
constexpr UINT QS_SENDMESSAGE = 0x0040;

// A null window posts to the calling thread itself. FALSE when the window does not exist or its
// thread has ended.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// As SendMessageA, but to a window of another thread it returns TRUE at once instead of waiting
// for the answer; the message is handled in its turn among those sent to that thread, so a later
// SendMessageA from the same thread finds it handled. FALSE when the window does not exist.
// Windows refuses messages that carry a pointer this way; here WM_SETTEXT may go so, its text
// copied. Nothing else that carries a pointer may.
BOOL SendNotifyMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// filterWindow: null for every window of the thread and the thread's own messages, (HWND)-1 for
// the thread's own messages only, otherwise that window and its descendants. first/last: the
// message range, 0 and 0 for all. GetMessageA waits; it returns 0 for WM_QUIT and -1 for a
// filter window that does not exist.
BOOL GetMessageA(MSG* msg, HWND filterWindow, UINT first, UINT last);
BOOL PeekMessageA(MSG* msg, HWND filterWindow, UINT first, UINT last, UINT removeFlags);
// What is waiting in the calling thread's queue, as QS_* flags in both halves of the result.
DWORD GetQueueStatus(UINT flags);

// Calls the procedure of the message's window, which must belong to the calling thread.
LRESULT DispatchMessageA(const MSG* msg);
// Posts WM_CHAR for key-downs of keys that stand for a character (Backspace, Tab, Return,
// Escape, Space); TRUE when it did.
BOOL TranslateMessage(const MSG* msg);

// Painting state. The rectangle is not kept: any invalidation marks the whole window. A window
// is painted only while it is visible.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
// Sends WM_PAINT at once when the window needs painting.
BOOL UpdateWindow(HWND window);
