// The server's events for the model's windows: closes, exposures, keys and the left button,
// turned into input messages.
#include "platform/display/x11/X11Backend.h"

#include "platform/display/x11/XWindow.h"
#include "platform/user/Input.h"
#include "platform/user/UserQueue.h"
#include "platform/user/WinMessages.h"

namespace platform::display::x11 {
namespace {

// A screen coordinate in the model's pixels, rounded down (a release left of a control stays
// left of it).
int Unscaled(int coordinate, int unit) {
    return coordinate >= 0 ? coordinate / unit : -((-coordinate + unit - 1) / unit);
}

} // namespace

void X11Backend::Handle(XEvent& event) {
    if (std::shared_ptr<Box> box = BoxOf(event.xany.window)) {
        if (Answers(*box, event)) Answer(box);
        return;
    }
    HWND handle = TopOf(event.xany.window);
    if (!handle) return;
    if (IsCloseRequest(mDisplay, event)) {
        PostMessageA(handle, WM_CLOSE, 0, 0);
        return;
    }
    Top& top = mTops[handle];
    switch (event.type) {
    case DestroyNotify:
        // Destroyed by someone else (the window manager, another client; our own windows
        // leave mTops before they go): the program ends as if it had been closed. The
        // window is neither drawn into nor made anew.
        Forget(handle);
        mDestroyedOutside.insert(handle);
        PostMessageA(handle, WM_CLOSE, 0, 0);
        break;
    case Expose:
        if (event.xexpose.count == 0) mLoop.MarkChanged();
        break;
    case MapNotify:
        top.mapped = true;
        mShowed = true;
        mLoop.MarkChanged();
        if (!AnyBoxShown()) XSetInputFocus(mDisplay, top.window, RevertToParent, CurrentTime);
        break;
    case UnmapNotify:
        top.mapped = false;
        break;
    case KeyPress:
        if (const UINT key = VirtualKey(event.xkey)) PostKeyPress(handle, key);
        break;
    case ButtonPress:
        if (event.xbutton.button == Button1)
            Press(handle, Unscaled(event.xbutton.x, mUnit), Unscaled(event.xbutton.y, mUnit));
        break;
    case ButtonRelease:
        if (event.xbutton.button == Button1 && mPressed) {
            PostInput(mPressed, WM_LBUTTONUP, 0,
                      MAKELPARAM(Unscaled(event.xbutton.x, mUnit) - mPressedOrigin.x,
                                 Unscaled(event.xbutton.y, mUnit) - mPressedOrigin.y));
            mPressed = nullptr;
        }
        break;
    default:
        break;
    }
}

void X11Backend::Press(HWND handle, int x, int y) {
    HWND target = ControlAt(handle, x, y);
    mPressed = target ? target : handle;
    mPressedTop = handle;
    mPressedOrigin = {0, 0};
    WindowView view;
    if (target && InspectWindow(target, &view)) mPressedOrigin = {view.rect.left, view.rect.top};
    PostInput(mPressed, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x - mPressedOrigin.x, y - mPressedOrigin.y));
}

} // namespace platform::display::x11
