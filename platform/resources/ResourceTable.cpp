// The program's resource table and the lookups over it.
#include "platform/resources/Resources.h"

#include "platform/runtime/NeverDestroyed.h"
#include "platform/runtime/SameName.h"

#include <algorithm>
#include <mutex>

namespace platform {
namespace {

struct Table {
    std::mutex mutex;
    std::vector<const ResourceEntry*> entries; // in registration order
};

// Never destroyed: lookups may still come from other threads while the process ends.
Table& TheTable() {
    static platform::NeverDestroyed<Table> object;
    return object.get();
}

// A name given to a lookup: a number below 0x10000, or a text ("#116" also names number 116,
// as on the platform).
bool Matches(const ResourceEntry& entry, LPCSTR name) {
    if (!name) return false;
    if (IS_INTRESOURCE(name)) {
        return !entry.name && entry.id == static_cast<int>(reinterpret_cast<std::uintptr_t>(name));
    }
    if (name[0] == '#') {
        int number = 0;
        const char* digit = name + 1;
        if (*digit == '\0') return false;
        for (; *digit; ++digit) {
            if (*digit < '0' || *digit > '9' || number > 0xFFFF) return false;
            number = number * 10 + (*digit - '0');
        }
        return !entry.name && entry.id == number;
    }
    return entry.name && platform::SameName(entry.name, name);
}

// The entry of that type and name in `language`, or else the first one in any language.
// language 0 (neutral) asks for no language in particular.
const ResourceEntry* Lookup(LPCSTR type, LPCSTR name, int language) {
    // A type is named by its number only.
    if (!type || !IS_INTRESOURCE(type)) return nullptr;
    const int typeNumber = static_cast<int>(reinterpret_cast<std::uintptr_t>(type));
    Table& table = TheTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    const ResourceEntry* anyLanguage = nullptr;
    for (const ResourceEntry* entry : table.entries) {
        if (entry->type != typeNumber || !Matches(*entry, name)) continue;
        if (language != 0 && entry->language == language) return entry;
        if (!anyLanguage) anyLanguage = entry;
    }
    return anyLanguage;
}

} // namespace

void RegisterResources(const ResourceEntry* entries, std::size_t count) {
    if (!entries) return;
    Table& table = TheTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    for (std::size_t i = 0; i < count; ++i) table.entries.push_back(&entries[i]);
}

std::vector<int> NumberedResources(int type) {
    Table& table = TheTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    std::vector<int> numbers;
    for (const ResourceEntry* entry : table.entries) {
        if (entry->type != type || entry->name) continue;
        if (std::find(numbers.begin(), numbers.end(), entry->id) == numbers.end()) numbers.push_back(entry->id);
    }
    return numbers;
}

} // namespace platform

HRSRC FindResourceExA(HMODULE, LPCSTR type, LPCSTR name, WORD language) {
    // A found resource is its table entry.
    const platform::ResourceEntry* entry = platform::Lookup(type, name, language);
    return reinterpret_cast<HRSRC>(const_cast<platform::ResourceEntry*>(entry));
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    return FindResourceExA(module, type, name, 0);
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    if (!resource) return nullptr;
    const auto* entry = reinterpret_cast<const platform::ResourceEntry*>(resource);
    return const_cast<unsigned char*>(entry->data);
}

const void* LockResource(HGLOBAL loaded) {
    return loaded;
}

BOOL FreeResource(HGLOBAL) {
    return FALSE;
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
    if (!resource) return 0;
    return static_cast<DWORD>(reinterpret_cast<const platform::ResourceEntry*>(resource)->size);
}
