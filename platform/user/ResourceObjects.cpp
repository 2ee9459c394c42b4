// What the window system loads from the module's resources: accelerator tables (and the key
// state they are matched with), icons and the system's icons and cursors.
#include "platform/user/UserAccelerators.h"
#include "platform/user/UserIcons.h"

#include "platform/resources/Resources.h"
#include "platform/user/UserQueue.h"
#include "platform/runtime/HandleTable.h"
#include "platform/runtime/NeverDestroyed.h"
#include "platform/user/Window.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

using namespace platform::user;

namespace {

struct IconGroup {
    const unsigned char* data = nullptr; // null for a system icon
    std::size_t size = 0;
};

// Loaded objects are never released: they stay valid for the life of the process.
struct Loaded {
    std::mutex mutex;
    platform::HandleTable<std::vector<ACCEL>> accelerators{0x08000000};
    std::map<const void*, HICON> iconsByResource;             // one handle per group resource
    platform::HandleTable<IconGroup> icons{0x0C000000};
};

Loaded& TheLoaded() {
    static platform::NeverDestroyed<Loaded> object;
    return object.get();
}

// The resource's entries up to the one marked last; false when no entry is marked.
bool ReadTable(const unsigned char* bytes, std::size_t size, std::vector<ACCEL>* entries) {
    for (std::size_t at = 0; at + 8 <= size; at += 8) {
        const WORD flags = byteorder::LE16(bytes + at);
        entries->push_back(ACCEL{static_cast<BYTE>(flags & 0x7F), byteorder::LE16(bytes + at + 2), byteorder::LE16(bytes + at + 4)});
        if (flags & 0x80) return true;
    }
    return false;
}

bool Matches(const ACCEL& entry, const MSG& msg, bool shift, bool control, bool alt) {
    const bool altWanted = (entry.fVirt & FALT) != 0;
    // A virtual-key entry wants exactly its own Shift, Ctrl and Alt.
    if (entry.fVirt & FVIRTKEY) {
        return (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && msg.wParam == entry.key &&
               shift == ((entry.fVirt & FSHIFT) != 0) && control == ((entry.fVirt & FCONTROL) != 0) && alt == altWanted;
    }
    // A character entry: the character as typed, with Alt when it asks for Alt.
    return (msg.message == WM_CHAR || msg.message == WM_SYSCHAR) && msg.wParam == entry.key && alt == altWanted;
}

HICON Handle(const void* key, IconGroup group) {
    Loaded& loaded = TheLoaded();
    std::lock_guard<std::mutex> lock(loaded.mutex);
    const auto [entry, isNew] = loaded.iconsByResource.try_emplace(key, nullptr);
    if (isNew) entry->second = loaded.icons.Add<HICON>(group);
    return entry->second;
}

// One of the system's icons or cursors, numbered from 32512: fixed handles, each keyed by a byte
// of `keys` (one per icon or cursor there is).
template <std::size_t Count>
HICON SystemHandle(LPCSTR name, const char (&keys)[Count]) {
    const auto number = reinterpret_cast<std::uintptr_t>(name);
    if (number < 32512 || number >= 32512 + Count) return nullptr;
    return Handle(&keys[number - 32512], IconGroup{});
}
} // namespace

HACCEL LoadAcceleratorsA(HINSTANCE instance, LPCSTR name) {
    HRSRC found = FindResourceA(instance, name, RT_ACCELERATOR);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(instance, found)));
    std::vector<ACCEL> entries;
    if (!bytes || !ReadTable(bytes, SizeofResource(instance, found), &entries)) return nullptr;
    Loaded& loaded = TheLoaded();
    std::lock_guard<std::mutex> lock(loaded.mutex);
    return loaded.accelerators.Add<HACCEL>(std::move(entries));
}

int TranslateAcceleratorA(HWND window, HACCEL table, MSG* msg) {
    if (!msg) return 0;
    std::vector<ACCEL> entries;
    {
        Loaded& loaded = TheLoaded();
        std::lock_guard<std::mutex> lock(loaded.mutex);
        const std::vector<ACCEL>* found = loaded.accelerators.Find(table);
        if (!found) return 0;
        entries = *found;
    }
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    // A key that comes as a system key came with Alt held.
    const bool alt = GetKeyState(VK_MENU) < 0 || msg->message == WM_SYSKEYDOWN || msg->message == WM_SYSCHAR;
    for (const ACCEL& entry : entries) {
        if (!Matches(entry, *msg, shift, control, alt)) continue;
        // A disabled window (under a modal box) takes no commands.
        if (!WithWindow(window, [](Window& target) { return EnabledWithAncestors(target); })) return 0;
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(entry.cmd, 1), 0);
        return 1;
    }
    return 0;
}

short GetKeyState(int virtualKey) {
    MessageQueue* queue = MessageQueue::CurrentIfAny();
    if (!queue || virtualKey < 0) return 0;
    return queue->KeyDown(static_cast<UINT>(virtualKey)) ? static_cast<short>(-32768) : 0;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (!instance) {
        static const char systemIcons[5] = {};
        return SystemHandle(name, systemIcons);
    }
    HRSRC found = FindResourceA(instance, name, RT_GROUP_ICON);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(instance, found)));
    const std::size_t size = SizeofResource(instance, found);
    // An icon directory: reserved 0, type 1, a count, and that many 14-byte entries.
    if (!bytes || size < 6 || byteorder::LE16(bytes) != 0 || byteorder::LE16(bytes + 2) != 1) return nullptr;
    const std::size_t count = byteorder::LE16(bytes + 4);
    if (count == 0 || size < 6 + 14 * count) return nullptr;
    return Handle(bytes, IconGroup{bytes, size});
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    // Modules have no cursors of their own.
    static const char systemCursors[4] = {};
    return instance ? nullptr : reinterpret_cast<HCURSOR>(SystemHandle(name, systemCursors));
}

namespace platform {

bool IconGroupData(HICON icon, const unsigned char** data, std::size_t* size) {
    Loaded& loaded = TheLoaded();
    std::lock_guard<std::mutex> lock(loaded.mutex);
    const IconGroup* found = loaded.icons.Find(icon);
    if (!found || !found->data) return false;
    if (data) *data = found->data;
    if (size) *size = found->size;
    return true;
}

} // namespace platform
