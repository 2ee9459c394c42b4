// The read-only view of the window model.
#include "platform/user/Model.h"

#include "platform/user/MessageQueue.h"
#include "platform/user/Window.h"
#include "platform/user/WindowClass.h"

using namespace platform::user;

namespace platform {

bool InspectWindow(HWND handle, WindowView* view) {
    return view && WithWindow(handle, [handle, view](const Window& window) {
        *view = WindowView{};
        view->handle = handle;
        view->parent = window.parent ? window.parent : window.owner;
        view->className = window.windowClass->name;
        view->text = window.text;
        view->style = window.style;
        view->id = window.id;
        view->rect = window.rect;
        view->enabled = !(window.style & WS_DISABLED);
        view->visible = (window.style & WS_VISIBLE) != 0;
        view->focused = window.queue->focus == handle;
        view->needsPaint = window.needsPaint;
        view->painted = !window.surface.pixels.empty();
        if (window.control) window.control->Describe(*view);
        return true;
    });
}

bool ReadSurface(HWND handle, SurfaceView* view) {
    return view && WithWindow(handle, [view](Window& window) {
        if (window.surface.pixels.empty()) return false;
        *view = window.surface;
        return true;
    });
}

std::vector<HWND> ChildWindows(HWND parent) {
    return WithWindow(parent, [](Window& window) { return window.children; });
}

std::vector<HWND> TopLevelWindows() {
    ModelLock lock(ModelMutex());
    std::vector<HWND> tops;
    for (const Window* window : AllWindows()) {
        if (!window->parent) tops.push_back(window->handle);
    }
    return tops;
}

} // namespace platform
