// The window model's storage (windows and their classes), and the read-only view of it for
// displays and tests.
#include "platform/user/Window.h"

#include "platform/runtime/HandleTable.h"
#include "platform/runtime/NeverDestroyed.h"
#include "platform/runtime/SameName.h"
#include "platform/user/WindowClass.h"

#include <algorithm>
#include <cstdint>

namespace platform::user {
namespace {

// Never destroyed: windows may still be posted to and drawn into while the process ends.
struct Table {
    std::mutex mutex;
    HandleTable<std::unique_ptr<Window>> windows{0x10000};
    std::vector<std::shared_ptr<WindowClass>> classes;
};

Table& TheTable() {
    static NeverDestroyed<Table> table;
    return table.get();
}

bool IsAtom(LPCSTR name) {
    return reinterpret_cast<std::uintptr_t>(name) < 0x10000;
}

// Needs the model lock.
std::vector<std::shared_ptr<WindowClass>>::iterator Lookup(LPCSTR nameOrAtom) {
    auto& classes = TheTable().classes;
    return std::find_if(classes.begin(), classes.end(), [nameOrAtom](const auto& entry) {
        return IsAtom(nameOrAtom) ? entry->atom == reinterpret_cast<std::uintptr_t>(nameOrAtom)
                                  : platform::SameName(entry->name.c_str(), nameOrAtom);
    });
}

// Needs the model lock. Whether the window or one of its ancestors is as `test` asks.
template <typename Test>
bool AnyUp(const Window& window, Test test) {
    for (const Window* w = &window; w; w = Find(w->parent)) {
        if (test(*w)) return true;
    }
    return false;
}

} // namespace

std::mutex& ModelMutex() {
    return TheTable().mutex;
}

Window* Find(HWND window) {
    std::unique_ptr<Window>* found = TheTable().windows.Find(window);
    return found ? found->get() : nullptr;
}

HWND Insert(std::unique_ptr<Window> window) {
    Window* record = window.get();
    record->handle = TheTable().windows.Add<HWND>(std::move(window));
    return record->handle;
}

void Erase(HWND handle) {
    Window* window = Find(handle);
    if (!window) return;
    const std::vector<HWND> children = window->children;
    for (HWND child : children) Erase(child);
    if (Window* parent = Find(window->parent)) std::erase(parent->children, handle);
    if (window->queue && window->queue->focus == handle) window->queue->focus = nullptr;
    TheTable().windows.Remove(handle);
}

std::vector<Window*> AllWindows() {
    std::vector<Window*> all;
    for (auto& entry : TheTable().windows) all.push_back(entry.second.get());
    return all;
}

bool IsSelfOrDescendant(const Window& window, HWND ancestor) {
    return AnyUp(window, [ancestor](const Window& w) { return w.handle == ancestor; });
}

bool EnabledWithAncestors(const Window& window) {
    return !AnyUp(window, [](const Window& w) { return (w.style & WS_DISABLED) != 0; });
}

bool VisibleWithAncestors(const Window& window) {
    return !AnyUp(window, [](const Window& w) { return (w.style & WS_VISIBLE) == 0; });
}

Window* Root(Window& window) {
    Window* w = &window;
    while (Window* parent = Find(w->parent)) w = parent;
    return w;
}

bool EnsureSurface(Window& window) {
    const int width = window.rect.right - window.rect.left;
    const int height = window.rect.bottom - window.rect.top;
    if (width <= 0 || height <= 0) return false;
    if (window.surface.pixels.empty()) {
        const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        window.surface = SurfaceView{width, height, std::vector<std::uint32_t>(pixels, 0)};
    }
    return true;
}

std::shared_ptr<MessageQueue> OwnerQueue(HWND handle) {
    return WithWindow(handle, [](Window& window) { return window.queue; });
}

LRESULT CallProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC procedure = WithWindow(handle, [](Window& window) { return window.procedure; });
    return procedure ? procedure(handle, message, wParam, lParam) : 0;
}

void EnsureSystemClasses() {
    static std::once_flag once;
    std::call_once(once, [] { controls::RegisterSystemClasses(); });
}

std::shared_ptr<const WindowClass> FindClass(LPCSTR nameOrAtom) {
    EnsureSystemClasses();
    if (!nameOrAtom) return nullptr;
    ModelLock lock(ModelMutex());
    auto found = Lookup(nameOrAtom);
    return found == TheTable().classes.end() ? nullptr : *found;
}

ATOM AddClass(const WNDCLASSA& record, bool system, ATOM atom) {
    if (!record.lpfnWndProc || !record.lpszClassName || IsAtom(record.lpszClassName) ||
        record.lpszClassName[0] == '\0') {
        return 0;
    }
    ModelLock lock(ModelMutex());
    auto& classes = TheTable().classes;
    if (Lookup(record.lpszClassName) != classes.end()) return 0;
    // Class atoms come from the string-atom range, as the platform's do.
    static ATOM lastAtom = 0xC000;
    if (!atom && lastAtom == 0xFFFF) return 0;
    classes.push_back(std::make_shared<WindowClass>(WindowClass{record.lpszClassName, record.lpfnWndProc,
                                                                record.hInstance, record.hIcon, record.hbrBackground,
                                                                atom ? atom : ++lastAtom, system}));
    return classes.back()->atom;
}

} // namespace platform::user

using namespace platform::user;

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    EnsureSystemClasses();
    return windowClass ? AddClass(*windowClass, false) : ATOM{0};
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    EnsureSystemClasses();
    if (!className) return FALSE;
    ModelLock lock(ModelMutex());
    auto found = Lookup(className);
    if (found == TheTable().classes.end() || (*found)->system) return FALSE;
    const std::vector<Window*> windows = AllWindows();
    if (std::any_of(windows.begin(), windows.end(), [&](const Window* w) { return w->windowClass == *found; })) return FALSE;
    TheTable().classes.erase(found);
    return TRUE;
}

namespace platform {

bool InspectWindow(HWND handle, WindowView* view) {
    return view && WithWindow(handle, [handle, view](const Window& window) {
        *view = WindowView{};
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
