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

std::uintptr_t Number(LPCSTR name) {
    return reinterpret_cast<std::uintptr_t>(name);
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

} // namespace

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (!instance) {
        if (!name || !IS_INTRESOURCE(name) || Number(name) < 32512 || Number(name) > 32516) return nullptr;
        // Each system icon is keyed by a byte of its own.
        static const char systemIcons[5] = {};
        return Handle(&systemIcons[Number(name) - 32512], IconGroup{});
    }
    HRSRC found = FindResourceA(instance, name, RT_GROUP_ICON);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(instance, found)));
    const std::size_t size = SizeofResource(instance, found);
    if (!IsIconDirectory(bytes, size)) return nullptr;
    return Handle(bytes, IconGroup{bytes, size});
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance || !name || !IS_INTRESOURCE(name) || Number(name) < 32512 || Number(name) > 32515) {
        return nullptr;
    }
    // The system's cursors are fixed handles of their own.
    static const char systemCursors[4] = {};
    return reinterpret_cast<HCURSOR>(Handle(&systemCursors[Number(name) - 32512], IconGroup{}));
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
