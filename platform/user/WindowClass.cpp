#include "platform/user/WindowClass.h"

#include "platform/runtime/NeverDestroyed.h"
#include "platform/user/Window.h"
#include "platform/runtime/SameName.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

namespace platform::user {
namespace {

// Guarded by the model lock. Never destroyed, like the window table.
std::vector<std::shared_ptr<WindowClass>>& Classes() {
    static platform::NeverDestroyed<std::vector<std::shared_ptr<WindowClass>>> object;
    return object.get();
}

bool IsAtom(LPCSTR name) {
    return reinterpret_cast<std::uintptr_t>(name) < 0x10000;
}

// Needs the model lock.
std::vector<std::shared_ptr<WindowClass>>::iterator Lookup(LPCSTR nameOrAtom) {
    return std::find_if(Classes().begin(), Classes().end(), [nameOrAtom](const auto& entry) {
        return IsAtom(nameOrAtom) ? entry->atom == reinterpret_cast<std::uintptr_t>(nameOrAtom)
                                  : platform::SameName(entry->name.c_str(), nameOrAtom);
    });
}

} // namespace

void EnsureSystemClasses() {
    static std::once_flag once;
    std::call_once(once, [] { controls::RegisterSystemClasses(); });
}

std::shared_ptr<const WindowClass> FindClass(LPCSTR nameOrAtom) {
    EnsureSystemClasses();
    if (!nameOrAtom) return nullptr;
    ModelLock lock(ModelMutex());
    auto found = Lookup(nameOrAtom);
    return found == Classes().end() ? nullptr : *found;
}

ATOM AddClass(const WNDCLASSA& record, bool system, ATOM atom) {
    if (!record.lpfnWndProc || !record.lpszClassName || IsAtom(record.lpszClassName) ||
        record.lpszClassName[0] == '\0') {
        return 0;
    }
    ModelLock lock(ModelMutex());
    if (Lookup(record.lpszClassName) != Classes().end()) return 0;
    // Class atoms come from the string-atom range, as the platform's do.
    static ATOM lastAtom = 0xC000;
    if (!atom && lastAtom == 0xFFFF) return 0;
    Classes().push_back(std::make_shared<WindowClass>(WindowClass{record.lpszClassName, record.lpfnWndProc,
                                                                  record.hInstance, record.hIcon, record.hbrBackground,
                                                                  atom ? atom : ++lastAtom, system}));
    return Classes().back()->atom;
}

} // namespace platform::user

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    platform::user::EnsureSystemClasses();
    return windowClass ? platform::user::AddClass(*windowClass, false) : ATOM{0};
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    using namespace platform::user;
    EnsureSystemClasses();
    if (!className) return FALSE;
    ModelLock lock(ModelMutex());
    auto found = Lookup(className);
    if (found == Classes().end() || (*found)->system) return FALSE;
    for (const Window* window : AllWindows()) {
        if (window->windowClass == *found) return FALSE;
    }
    Classes().erase(found);
    return TRUE;
}
