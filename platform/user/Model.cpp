// The read-only view of the window model.
#include "platform/user/Model.h"

#include "platform/user/MessageQueue.h"
#include "platform/user/Window.h"
#include "platform/user/WindowClass.h"

using namespace platform::user;

namespace platform {

bool InspectWindow(HWND handle, WindowView* view) {
    ModelLock lock(ModelMutex());
    const Window* window = Find(handle);
    if (!window || !view) return false;
    *view = WindowView{};
    view->handle = handle;
    view->parent = window->parent ? window->parent : window->owner;
    view->className = window->windowClass->name;
    view->text = window->text;
    view->style = window->style;
    view->id = window->id;
    view->rect = window->rect;
    view->enabled = !(window->style & WS_DISABLED);
    view->visible = (window->style & WS_VISIBLE) != 0;
    view->focused = window->queue->focus == handle;
    view->needsPaint = window->needsPaint;
    view->painted = window->hasSurface;
    if (window->control) window->control->Describe(*view);
    return true;
}

bool ReadSurface(HWND handle, SurfaceView* view) {
    ModelLock lock(ModelMutex());
    const Window* window = Find(handle);
    if (!window || !view || !window->hasSurface) return false;
    view->width = window->surfaceWidth;
    view->height = window->surfaceHeight;
    view->pixels = window->surface;
    return true;
}

std::vector<HWND> ChildWindows(HWND parent) {
    ModelLock lock(ModelMutex());
    const Window* window = Find(parent);
    return window ? window->children : std::vector<HWND>{};
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
