// The program's resources: data compiled into the binary and found by type and name.
//
// Each resource folder registers its tables once at start (before the first lookup); the
// entries are referenced, not copied, so their data must stay put for the life of the process.
// A resource is named either by a string (compared without regard to case) or by a number below
// 0x10000 passed as MAKEINTRESOURCE(id). Its language is matched loosely: the exact language
// wins, and any language will do when no entry has it.
//
//     static const platform::ResourceEntry kPictures[] = {
//         {RT_BITMAP, nullptr, 116, 1031, kPicture116, sizeof kPicture116},
//     };
//     platform::RegisterResources(kPictures, std::size(kPictures));
//
//     HRSRC found = FindResourceA(instance, MAKEINTRESOURCE(116), RT_BITMAP);
//     const void* bytes = LockResource(LoadResource(instance, found));
#pragma once

#include "platform/runtime/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A number used where a resource or type name is expected.
inline LPSTR MAKEINTRESOURCEA(unsigned id) {
    return reinterpret_cast<LPSTR>(static_cast<std::uintptr_t>(id & 0xFFFFu));
}
#define MAKEINTRESOURCE(id) MAKEINTRESOURCEA(static_cast<unsigned>(id))
// Whether a name is such a number rather than a text.
inline bool IS_INTRESOURCE(LPCSTR name) {
    return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0;
}

// Resource types. Each is both a number (ResourceEntry::type = RT_BITMAP) and, like the
// platform's MAKEINTRESOURCE(2), a name for FindResourceA (FindResourceA(m, name, RT_BITMAP)).
struct ResourceType {
    int id;
    constexpr operator int() const { return id; }
    operator LPSTR() const { return MAKEINTRESOURCEA(static_cast<unsigned>(id)); }
};
inline constexpr ResourceType RT_BITMAP{2};
inline constexpr ResourceType RT_ICON{3};
inline constexpr ResourceType RT_DIALOG{5};
inline constexpr ResourceType RT_ACCELERATOR{9};
inline constexpr ResourceType RT_RCDATA{10};
inline constexpr ResourceType RT_GROUP_ICON{14};

struct HRSRC__;
using HRSRC = HRSRC__*;     // a found resource
using HGLOBAL = void*;      // a loaded resource

namespace platform {

struct ResourceEntry {
    int type;                   // RT_*_ID number of the resource type
    const char* name;           // the resource's name; null for a resource named by `id`
    int id;                     // its number when `name` is null
    int language;               // language id (1031, 1033, ...)
    const unsigned char* data;  // the resource's bytes, static
    std::size_t size;           // in bytes
};

// Adds the entries to the program's resource table. Safe from any thread.
void RegisterResources(const ResourceEntry* entries, std::size_t count);

// The numbers of the resources of type `type` that are named by a number, in registration
// order, each once. For displays that look for the resources that belong together by number.
std::vector<int> NumberedResources(int type);

} // namespace platform

// Resources of `module` (every module handle, null included, reaches the same table).
// `type` accepts a type number as MAKEINTRESOURCE or RT_*; null when there is no such resource.
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HRSRC FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language);
// The resource's data; it stays valid (resources are part of the binary). Null for a null handle.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
const void* LockResource(HGLOBAL loaded);
// Nothing to release for data in the binary; FALSE as the platform reports success here.
BOOL FreeResource(HGLOBAL loaded);
DWORD SizeofResource(HMODULE module, HRSRC resource);
