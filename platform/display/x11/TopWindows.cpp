// The model's visible top-level windows as X windows of their own: made when first shown, drawn
// into a pixmap and copied in one go, taken down when the model's window goes.
#include "platform/display/x11/X11Backend.h"

#include "platform/display/x11/XWindow.h"
#include "platform/user/UserWindow.h"
#include "platform/user/Window.h"
#include "platform/user/WindowClass.h"

#include <algorithm>
#include <cstdint>

namespace platform::display::x11 {
namespace {

// The window's class; null when the window is gone. A class record never changes once
// registered, so it is read without the model lock.
std::shared_ptr<const user::WindowClass> ClassOf(HWND window) {
    user::ModelLock lock(user::ModelMutex());
    const user::Window* record = user::Find(window);
    return record ? record->windowClass : nullptr;
}

// The colour a window class's background brush stands for: a system colour number plus one.
std::uint32_t BackgroundColour(HWND window) {
    const auto windowClass = ClassOf(window);
    switch (windowClass ? reinterpret_cast<std::uintptr_t>(windowClass->background) : 0) {
    case 6: return 0xFFFFFF;      // the window colour
    case 9: return x11::kBlack;   // the window frame
    default: return x11::kFace;   // menu, button face, dialog: the light grey
    }
}

// A rectangle of the model in the screen's pixels, at `unit` pixels for each of the model's.
RECT Scaled(const RECT& r, int unit) {
    return RECT{r.left * unit, r.top * unit, r.right * unit, r.bottom * unit};
}

} // namespace

void X11Backend::DrawAll() {
    std::vector<HWND> shown;
    for (HWND handle : TopLevelWindows()) {
        WindowView view;
        if (!InspectWindow(handle, &view) || !view.visible || mDestroyedOutside.count(handle)) continue;
        shown.push_back(handle);
        Top& top = Ensure(handle, view);
        DrawTop(handle, top, view);
    }
    std::vector<HWND> gone;
    for (const auto& [handle, top] : mTops)
        if (std::find(shown.begin(), shown.end(), handle) == shown.end()) gone.push_back(handle);
    for (HWND handle : gone) {
        XDestroyWindow(mDisplay, mTops[handle].window);
        Forget(handle);
    }
}

void X11Backend::Forget(HWND handle) {
    XFreePixmap(mDisplay, mTops[handle].back);
    if (mPressedTop == handle) mPressed = nullptr;
    mTops.erase(handle);
}

Top& X11Backend::Ensure(HWND handle, const WindowView& view) {
    auto found = mTops.find(handle);
    if (found != mTops.end()) return found->second;
    Top top;
    top.width = std::max(1, static_cast<int>(view.rect.right - view.rect.left) * mUnit);
    top.height = std::max(1, static_cast<int>(view.rect.bottom - view.rect.top) * mUnit);
    top.window = MakeTopWindow(mDisplay, RECT{0, 0, top.width, top.height},
                               mPaint->Pixel(BackgroundColour(handle)), false);
    top.back = XCreatePixmap(mDisplay, top.window, static_cast<unsigned>(top.width),
                             static_cast<unsigned>(top.height), static_cast<unsigned>(mPaint->Depth()));
    if (const auto windowClass = ClassOf(handle))
        SetIcon(mDisplay, top.window, windowClass->icon, windowClass->instance);
    XMapWindow(mDisplay, top.window);
    return mTops.emplace(handle, top).first->second;
}

void X11Backend::DrawTop(HWND handle, Top& top, const WindowView& view) {
    if (top.title != view.text || top.title.empty()) {
        top.title = view.text;
        SetTitle(mDisplay, top.window, top.title);
    }
    mPaint->Fill(top.back, BackgroundColour(handle), RECT{0, 0, top.width, top.height});
    SurfaceView surface;
    if (view.painted && ReadSurface(handle, &surface)) mPaint->PutPixels(top.back, surface, 0, 0, top.width, top.height);
    for (HWND child : ChildWindows(handle)) {
        WindowView control;
        if (!InspectWindow(child, &control) || !control.visible) continue;
        control.rect = Scaled(control.rect, mUnit);
        mPaint->Control(top.back, control);
        // What the program drew into the control lies over its own look, cut at its edges.
        if (control.painted && ReadSurface(child, &surface)) {
            mPaint->PutPixels(top.back, surface, control.rect.left, control.rect.top,
                             control.rect.right - control.rect.left, control.rect.bottom - control.rect.top);
        }
    }
    if (top.mapped) {
        XCopyArea(mDisplay, top.back, top.window, mPaint->Context(), 0, 0, static_cast<unsigned>(top.width),
                  static_cast<unsigned>(top.height), 0, 0);
    }
}

HWND X11Backend::TopOf(Window window) {
    for (auto& [handle, top] : mTops)
        if (top.window == window) return handle;
    return nullptr;
}

HWND X11Backend::ControlAt(HWND top, int x, int y) {
    const std::vector<HWND> children = ChildWindows(top);
    const auto hit = std::find_if(children.rbegin(), children.rend(), [&](HWND child) {
        WindowView view;
        return InspectWindow(child, &view) && view.visible && x11::Inside(view.rect, x, y);
    });
    return hit == children.rend() ? nullptr : *hit;
}

} // namespace platform::display::x11
