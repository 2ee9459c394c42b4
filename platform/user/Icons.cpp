// Icons of the module's resources and the system's icons and cursors.
#include "platform/user/UserIcons.h"

#include "platform/resources/Resources.h"
#include "platform/runtime/ByteOrder.h"
#include "platform/runtime/HandleTable.h"
#include "platform/runtime/NeverDestroyed.h"

#include <map>
#include <mutex>

namespace {

struct IconGroup {
    const unsigned char* data = nullptr; // null for a system icon
    std::size_t size = 0;
};

struct Icons {
    std::mutex mutex;
    std::map<const void*, HICON> byResource;                 // one handle per group resource
    platform::HandleTable<IconGroup> groups{0x0C000000};
};

Icons& TheIcons() {
    static platform::NeverDestroyed<Icons> object;
    return object.get();
}

// An icon directory: reserved 0, type 1, a count, and that many 14-byte entries.
bool IsIconDirectory(const unsigned char* bytes, std::size_t size) {
    if (!bytes || size < 6 || byteorder::LE16(bytes) != 0 || byteorder::LE16(bytes + 2) != 1) return false;
    const std::size_t count = byteorder::LE16(bytes + 4);
    return count > 0 && size >= 6 + 14 * count;
}

HICON Handle(const void* key, IconGroup group) {
    Icons& icons = TheIcons();
    std::lock_guard<std::mutex> lock(icons.mutex);
    auto found = icons.byResource.find(key);
    if (found != icons.byResource.end()) return found->second;
    const auto handle = icons.groups.Add<HICON>(group);
    icons.byResource.emplace(key, handle);
    return handle;
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

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (!instance) {
        static const char systemIcons[5] = {};
        return SystemHandle(name, systemIcons);
    }
    HRSRC found = FindResourceA(instance, name, RT_GROUP_ICON);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(instance, found)));
    const std::size_t size = SizeofResource(instance, found);
    if (!IsIconDirectory(bytes, size)) return nullptr;
    return Handle(bytes, IconGroup{bytes, size});
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    // Modules have no cursors of their own.
    static const char systemCursors[4] = {};
    return instance ? nullptr : reinterpret_cast<HCURSOR>(SystemHandle(name, systemCursors));
}

namespace platform {

bool IconGroupData(HICON icon, const unsigned char** data, std::size_t* size) {
    Icons& icons = TheIcons();
    std::lock_guard<std::mutex> lock(icons.mutex);
    const IconGroup* found = icons.groups.Find(icon);
    if (!found || !found->data) return false;
    if (data) *data = found->data;
    if (size) *size = found->size;
    return true;
}

} // namespace platform
