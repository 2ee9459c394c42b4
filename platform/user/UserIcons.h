// Icons and cursors.
//
// LoadIconA finds an icon group resource (RT_GROUP_ICON) of the module, or with a null instance
// one of the system's icons; LoadCursorA with a null instance gives one of the system's cursors.
// The handles stay valid for the life of the process, and loading the same one again gives the
// same handle.
//
//     wc.hIcon = LoadIconA(instance, "DUDEZ");
//     wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
#pragma once

#include "platform/runtime/WinTypes.h"

#include <cstddef>
#include <cstdint>

// System icons and cursors, as MAKEINTRESOURCE numbers.
#define IDI_APPLICATION (reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(32512)))
#define IDC_ARROW (reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(32512)))
#define IDC_WAIT (reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(32514)))

// Null when there is no such icon, or the group resource is not an icon directory.
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
// Null for a cursor the system does not have; modules have no cursors of their own here.
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);

namespace platform {

// The icon group resource behind an icon handle (for a display that draws it): its bytes and
// size, or false for a system icon or a bad handle.
bool IconGroupData(HICON icon, const unsigned char** data, std::size_t* size);

} // namespace platform
