// Posting, sending, taking and dispatching messages.
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/user/MessageQueue.h"
#include "platform/user/Window.h"

using namespace platform::user;

namespace {

MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return MSG{window, message, wParam, lParam, MessageTime(), {0, 0}};
}

bool IsThreadOnly(HWND filter) {
    return filter == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));
}

} // namespace

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<MessageQueue> queue = window ? OwnerQueue(window) : MessageQueue::Current();
    return queue && queue->Post(MakeMessage(window, message, wParam, lParam)) ? TRUE : FALSE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<MessageQueue> queue = OwnerQueue(window);
    if (!queue) return 0;
    if (queue->IsCurrent()) return CallProcedure(window, message, wParam, lParam);
    // WATCHOUT: the lambda keeps lParam as it is; a pointer in it stays valid because this
    // thread waits until the message has been handled.
    return queue->Send([=] { return CallProcedure(window, message, wParam, lParam); });
}

void PostQuitMessage(int exitCode) {
    MessageQueue::Current()->PostQuit(exitCode);
}

BOOL GetMessageA(MSG* msg, HWND filterWindow, UINT first, UINT last) {
    if (!msg) return -1;
    if (filterWindow && !IsThreadOnly(filterWindow) && !IsWindow(filterWindow)) return -1;
    MessageQueue::Current()->Next(msg, filterWindow, first, last, true, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageA(MSG* msg, HWND filterWindow, UINT first, UINT last, UINT removeFlags) {
    if (!msg) return FALSE;
    if (filterWindow && !IsThreadOnly(filterWindow) && !IsWindow(filterWindow)) return FALSE;
    const bool remove = (removeFlags & PM_REMOVE) != 0;
    return MessageQueue::Current()->Next(msg, filterWindow, first, last, remove, false) ? TRUE : FALSE;
}

DWORD GetQueueStatus(UINT flags) {
    const UINT status = MessageQueue::Current()->Status() & flags;
    return static_cast<DWORD>(MAKELONG(status, status));
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    std::shared_ptr<MessageQueue> queue = OwnerQueue(msg->hwnd);
    if (!queue || !queue->IsCurrent()) return 0;
    return CallProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
    switch (msg->wParam) {
    case VK_BACK:
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_SPACE:
        // The key's code is its character.
        return PostMessageA(msg->hwnd, WM_CHAR, msg->wParam, msg->lParam);
    default:
        return FALSE;
    }
}
